#include "multistatus.h"

#include <QUrl>
#include <QXmlStreamReader>

#include "transport.h"

namespace dav {

namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCalDav = QStringLiteral("urn:ietf:params:xml:ns:caldav");
const QString kCardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");

// "HTTP/1.1 404 Not Found" -> 404; 0 when it is not a status line.
int statusCode(const QString& line) {
    const QStringList parts = line.trimmed().split(u' ', Qt::SkipEmptyParts);
    if (parts.size() < 2 || !parts[0].startsWith(u"HTTP/")) return 0;
    bool ok = false;
    const int code = parts[1].toInt(&ok);
    return ok && code >= 100 && code <= 599 ? code : 0;
}

class Reader {
public:
    Reader(std::string_view body, const std::string& base)
        : xml_(QByteArray::fromRawData(body.data(), qsizetype(body.size()))), base_(base) {}

    bool read(Multistatus& out, std::string& error) {
        if (!next() || !xml_.isStartElement() || !is(kDav, u"multistatus"))
            return fail(error, "the answer is not a multistatus");
        while (next()) {
            if (xml_.isEndElement()) break;  // </multistatus>
            if (!xml_.isStartElement()) continue;
            if (is(kDav, u"response")) {
                if (out.resources.size() >= kMaxResponses)
                    return fail(error, "the answer lists too many resources");
                DavResource r;
                if (!response(r)) return fail(error, problem_);
                out.resources.push_back(std::move(r));
            } else if (is(kDav, u"sync-token")) {
                if (!text(out.syncToken)) return fail(error, problem_);
            } else if (!skip()) {
                return fail(error, problem_);
            }
        }
        if (xml_.hasError() || !problem_.empty()) return fail(error, problem_);
        // Nothing may follow the root element but comments and spaces.
        while (!xml_.atEnd()) {
            xml_.readNext();
            if (xml_.isStartElement()) return fail(error, "content after the multistatus");
        }
        if (xml_.hasError() && xml_.error() != QXmlStreamReader::PrematureEndOfDocumentError)
            return fail(error, problem_);
        return true;
    }

private:
    bool fail(std::string& error, const std::string& what) {
        error = "malformed answer from the server: ";
        if (xml_.hasError() && problem_.empty())
            error +=
                xml_.errorString().toStdString() + " at line " + std::to_string(xml_.lineNumber());
        else
            error += what.empty() ? "unexpected content" : what;
        return false;
    }
    bool is(const QString& ns, QStringView name) const {
        return xml_.namespaceUri() == ns && xml_.name() == name;
    }
    // The next token, keeping count of the depth; false at the end or on an error.
    bool next() {
        while (!xml_.atEnd()) {
            xml_.readNext();
            if (xml_.isStartElement() && ++depth_ > kMaxDepth) {
                problem_ = "elements nested too deep";
                return false;
            }
            if (xml_.isEndElement()) --depth_;
            if (xml_.hasError()) return false;
            if (xml_.isStartElement() || xml_.isEndElement() || xml_.isEndDocument()) return true;
            if (xml_.isDTD() || xml_.isEntityReference()) {
                problem_ = "a document type or entity";
                return false;
            }
        }
        return false;
    }
    // Skips the current element's content up to its end.
    bool skip() {
        const int depth = depth_;
        while (next())
            if (xml_.isEndElement() && depth_ < depth) return true;
        return false;
    }
    // The current element's text (no child elements), bounded.
    bool text(std::string& out) {
        QString s = xml_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        --depth_;
        if (xml_.hasError()) return false;
        out = s.trimmed().toStdString();
        if (out.size() > kMaxTextBytes) {
            problem_ = "a value too long";
            return false;
        }
        return true;
    }
    // The first <href> inside the current element, resolved; the rest skipped.
    bool hrefIn(std::string& out) {
        const int depth = depth_;
        while (next()) {
            if (xml_.isEndElement() && depth_ < depth) return true;
            if (!xml_.isStartElement()) continue;
            if (is(kDav, u"href") && out.empty()) {
                std::string raw;
                if (!text(raw)) return false;
                out = resolveHref(base_, raw);
                if (out.empty()) {
                    problem_ = "an address that is not an http(s) URL";
                    return false;
                }
            } else if (!skip()) {
                return false;
            }
        }
        return false;
    }
    bool response(DavResource& r) {
        const int depth = depth_;
        while (next()) {
            if (xml_.isEndElement() && depth_ < depth) break;
            if (!xml_.isStartElement()) continue;
            if (is(kDav, u"href")) {
                std::string raw;
                if (!text(raw)) return false;
                if (!r.href.empty()) continue;  // a second href names the same answer
                r.href = resolveHref(base_, raw);
                if (r.href.empty()) {
                    problem_ = "an address that is not an http(s) URL";
                    return false;
                }
            } else if (is(kDav, u"status")) {
                std::string line;
                if (!text(line)) return false;
                r.status = statusCode(QString::fromStdString(line));
            } else if (is(kDav, u"propstat")) {
                if (!propstat(r)) return false;
            } else if (!skip()) {
                return false;
            }
        }
        if (xml_.hasError() || !problem_.empty()) return false;
        if (r.href.empty()) {
            problem_ = "a response without href";
            return false;
        }
        return true;
    }
    // Properties are kept only when their propstat's status is 2xx.
    bool propstat(DavResource& r) {
        DavResource found;
        int status = 0;
        const int depth = depth_;
        while (next()) {
            if (xml_.isEndElement() && depth_ < depth) break;
            if (!xml_.isStartElement()) continue;
            if (is(kDav, u"status")) {
                std::string line;
                if (!text(line)) return false;
                status = statusCode(QString::fromStdString(line));
            } else if (is(kDav, u"prop")) {
                if (!prop(found)) return false;
            } else if (!skip()) {
                return false;
            }
        }
        if (xml_.hasError() || !problem_.empty()) return false;
        if (status < 200 || status > 299) return true;
        if (!found.etag.empty()) r.etag = found.etag;
        if (!found.principal.empty()) r.principal = found.principal;
        if (!found.calendarHome.empty()) r.calendarHome = found.calendarHome;
        if (!found.addressbookHome.empty()) r.addressbookHome = found.addressbookHome;
        if (!found.syncToken.empty()) r.syncToken = found.syncToken;
        r.collection |= found.collection;
        r.calendar |= found.calendar;
        r.addressbook |= found.addressbook;
        if (found.hasComponentSet) {
            r.hasComponentSet = true;
            r.components = found.components;
        }
        return true;
    }
    bool prop(DavResource& r) {
        const int depth = depth_;
        while (next()) {
            if (xml_.isEndElement() && depth_ < depth) return true;
            if (!xml_.isStartElement()) continue;
            bool ok = true;
            if (is(kDav, u"getetag")) {
                ok = text(r.etag);
            } else if (is(kDav, u"sync-token")) {
                ok = text(r.syncToken);
            } else if (is(kDav, u"current-user-principal")) {
                ok = hrefIn(r.principal);
            } else if (is(kCalDav, u"calendar-home-set")) {
                ok = hrefIn(r.calendarHome);
            } else if (is(kCardDav, u"addressbook-home-set")) {
                ok = hrefIn(r.addressbookHome);
            } else if (is(kDav, u"resourcetype")) {
                ok = resourceType(r);
            } else if (is(kCalDav, u"supported-calendar-component-set")) {
                r.hasComponentSet = true;
                ok = componentSet(r);
            } else {
                ok = skip();
            }
            if (!ok) return false;
        }
        return false;
    }
    bool resourceType(DavResource& r) {
        const int depth = depth_;
        while (next()) {
            if (xml_.isEndElement() && depth_ < depth) return true;
            if (!xml_.isStartElement()) continue;
            if (is(kDav, u"collection")) r.collection = true;
            if (is(kCalDav, u"calendar")) r.calendar = true;
            if (is(kCardDav, u"addressbook")) r.addressbook = true;
            if (!skip()) return false;
        }
        return false;
    }
    bool componentSet(DavResource& r) {
        const int depth = depth_;
        while (next()) {
            if (xml_.isEndElement() && depth_ < depth) return true;
            if (!xml_.isStartElement()) continue;
            if (is(kCalDav, u"comp") && r.components.size() < 64)
                r.components.push_back(
                    xml_.attributes().value(QStringLiteral("name")).toString().toStdString());
            if (!skip()) return false;
        }
        return false;
    }

    QXmlStreamReader xml_;
    std::string base_;
    int depth_ = 0;
    std::string problem_;
};

}  // namespace

std::string resolveHref(const std::string& base, const std::string& href) {
    const QUrl url = QUrl(QString::fromStdString(base))
                         .resolved(QUrl::fromEncoded(QByteArray::fromStdString(href)));
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != u"http" && url.scheme() != u"https"))
        return {};
    return url.toString(QUrl::FullyEncoded).toStdString();
}

bool sameOrigin(const std::string& a, const std::string& b) {
    const QUrl x(QString::fromStdString(a)), y(QString::fromStdString(b));
    return x.isValid() && y.isValid() && x.scheme() == y.scheme() &&
           x.host().compare(y.host(), Qt::CaseInsensitive) == 0 &&
           x.port(x.scheme() == u"https" ? 443 : 80) == y.port(y.scheme() == u"https" ? 443 : 80);
}

bool parseMultistatus(std::string_view body, const std::string& requestUrl, Multistatus& out,
                      std::string& error) {
    out = {};
    if (body.size() > kMaxAnswerBytes) {
        error = "malformed answer from the server: longer than 4 MiB";
        return false;
    }
    return Reader(body, requestUrl).read(out, error);
}

}  // namespace dav
