#include "discovery.h"

#include <QUrl>

namespace dav {

namespace {

std::string origin(const std::string& url) {
    const QUrl u(QString::fromStdString(url));
    return u
        .adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                  QUrl::RemoveUserInfo)
        .toString(QUrl::FullyEncoded)
        .toStdString();
}

// The principal from `url`, else from the well-known addresses a server may redirect from.
bool findPrincipal(Client& client, const std::string& url, std::string& principal) {
    const std::string props = "<D:current-user-principal/>";
    const std::string tries[] = {url, origin(url) + "/.well-known/caldav",
                                 origin(url) + "/.well-known/carddav"};
    std::string firstError;
    for (const std::string& at : tries) {
        Multistatus ms;
        long status = 0;
        if (client.propfind(at, 0, props, ms, at != url, &status)) {
            for (const DavResource& r : ms.resources)
                if (!r.principal.empty()) {
                    principal = r.principal;
                    return true;
                }
        } else if (status == 0 || status == 401 || status == 403) {
            return false;  // unreachable or refused: another address will not help
        }
        if (firstError.empty()) firstError = client.error();
    }
    client.setError("the server at " + url + " names no principal for this user" +
                    (firstError.empty() ? std::string() : " (" + firstError + ")"));
    return false;
}

bool wantsEvents(const DavResource& r) {
    if (!r.hasComponentSet) return true;
    for (const std::string& c : r.components)
        if (c == "VEVENT") return true;
    return false;
}

// The first collection of the kind in `home`; empty when there is none.
bool findIn(Client& client, const std::string& home, bool calendar, std::string& found) {
    Multistatus ms;
    if (!client.propfind(home, 1, "<D:resourcetype/><C:supported-calendar-component-set/>", ms))
        return false;
    for (const DavResource& r : ms.resources) {
        if (asCollection(r.href) == asCollection(home) || !sameOrigin(r.href, home)) continue;
        if (calendar ? (r.calendar && wantsEvents(r)) : r.addressbook) {
            found = asCollection(r.href);
            return true;
        }
    }
    return true;
}

bool create(Client& client, const std::string& home, bool calendar, std::string& made) {
    HttpRequest request;
    request.url = asCollection(home) + (calendar ? "quorin/" : "quorin-contacts/");
    request.headers = {{"Content-Type", "application/xml; charset=utf-8"}};
    if (calendar) {
        request.method = "MKCALENDAR";
        request.body =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<C:mkcalendar xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\"><D:set>"
            "<D:prop><D:displayname>Quorin</D:displayname><C:supported-calendar-component-set>"
            "<C:comp name=\"VEVENT\"/></C:supported-calendar-component-set></D:prop></D:set>"
            "</C:mkcalendar>";
    } else {
        // Extended MKCOL (RFC 5689): the collection and its type in one request.
        request.method = "MKCOL";
        request.body =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<D:mkcol xmlns:D=\"DAV:\" xmlns:CR=\"urn:ietf:params:xml:ns:carddav\"><D:set>"
            "<D:prop><D:resourcetype><D:collection/><CR:addressbook/></D:resourcetype>"
            "<D:displayname>Quorin</D:displayname></D:prop></D:set></D:mkcol>";
    }
    HttpResponse response;
    if (!client.send(request, response)) return false;
    if (response.status != 201) {
        client.statusError(response.status, request.method + " " + request.url);
        return false;
    }
    made = request.url;
    return true;
}

}  // namespace

std::string asCollection(std::string url) {
    if (url.empty() || url.back() != '/') url += '/';
    return url;
}

bool discover(Client& client, const std::string& url, Collections& out) {
    if (!out.calendar.empty() && !out.addressbook.empty()) return true;
    std::string principal;
    if (!findPrincipal(client, url, principal)) return false;
    Multistatus ms;
    if (!client.propfind(principal, 0, "<C:calendar-home-set/><CR:addressbook-home-set/>", ms))
        return false;
    std::string homes[2];  // calendar, address book
    for (const DavResource& r : ms.resources) {
        if (homes[0].empty()) homes[0] = r.calendarHome;
        if (homes[1].empty()) homes[1] = r.addressbookHome;
    }
    std::string* wanted[2] = {&out.calendar, &out.addressbook};
    for (int i = 0; i < 2; ++i) {
        if (!wanted[i]->empty()) continue;
        const bool calendar = i == 0;
        const char* kind = calendar ? "calendar" : "address book";
        if (homes[i].empty()) {
            client.setError(std::string("the server names no ") + kind + " home for this user");
            return false;
        }
        if (!sameOrigin(homes[i], url)) {
            client.setError(std::string("the server's ") + kind + " home " + homes[i] +
                            " is on another host; give its collection's URL directly");
            return false;
        }
        std::string found;
        if (!findIn(client, homes[i], calendar, found)) return false;
        if (found.empty() && !create(client, homes[i], calendar, found)) return false;
        *wanted[i] = found;
    }
    return true;
}

}  // namespace dav
