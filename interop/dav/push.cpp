// The state is saved after every finished resource: a save costs well under a millisecond
// beside a request to the server, and a run cut off any way (the server stopped, the program
// killed) then leaves at most the one resource in flight undone. Creates are first marked
// pending in one save, so that the next run knows a resource found at its address is its own.
#include "push.h"

#include <QUrl>
#include <map>
#include <set>

#include "client.h"
#include "discovery.h"
#include "push_state.h"

namespace dav {

using interop::Collection;
using interop::ExportedObject;

namespace {

constexpr char kPrefix[] = "quorin-sync: ";

bool success(long status) {
    return status >= 200 && status <= 299;
}
bool conflictStatus(long status) {
    return status == 412 || status == 409;
}
// A status that no other object would get otherwise: stop the run.
bool fatalStatus(long status) {
    return status == 401 || status == 403 || status >= 500;
}

class Run {
public:
    Run(Transport& transport, const std::filesystem::path& file, PushCounts& counts,
        std::ostream& err)
        : client_(transport), file_(file), counts_(counts), err_(err) {}

    bool start(const PushOptions& options) {
        std::string why;
        if (!loadState(file_, state_, why)) return fail(why);
        url_ = options.serverUrl;
        server_ = &state_.servers[url_];
        given_ = {options.calendarUrl.empty() ? "" : asCollection(options.calendarUrl),
                  options.addressbookUrl.empty() ? "" : asCollection(options.addressbookUrl)};
        // Both collections looked for at once, and only when neither given nor remembered.
        Collections found{
            given_.calendar.empty() ? server_->calendarUrl : given_.calendar,
            given_.addressbook.empty() ? server_->addressbookUrl : given_.addressbook};
        if (!found.calendar.empty() && !found.addressbook.empty()) return true;
        if (!discover(client_, url_, found)) return fail(client_.error());
        if (given_.calendar.empty()) server_->calendarUrl = found.calendar;
        if (given_.addressbook.empty()) server_->addressbookUrl = found.addressbook;
        return save();
    }

    bool pushCollection(Collection kind, const std::vector<const ExportedObject*>& objects) {
        std::string url;
        if (!collection(kind, url)) return false;
        CollectionState& cs = server_->collections[url];
        const char* suffix = kind == Collection::Calendar ? ".ics" : ".vcf";
        const char* type = kind == Collection::Calendar ? "text/calendar; charset=utf-8"
                                                        : "text/vcard; charset=utf-8";
        std::set<std::string> adoptable;  // creates of an earlier run that was cut off
        for (const auto& [uid, item] : cs.items)
            if (item.etag.empty()) adoptable.insert(uid);

        std::map<std::string, std::pair<const ExportedObject*, std::string>> now;  // uid: hash
        for (const ExportedObject* o : objects)
            now.emplace(o->uid, std::pair{o, contentHash(o->text)});
        std::vector<std::string> creates, updates, deletes;
        for (auto& [uid, entry] : now) {
            const auto it = cs.items.find(uid);
            if (it == cs.items.end()) {
                const std::string name =
                    QUrl::toPercentEncoding(QString::fromStdString(uid)).toStdString() + suffix;
                cs.items[uid] = StateItem{url + name, "", entry.second, entry.first->name};
                creates.push_back(uid);
            } else if (it->second.etag.empty()) {
                creates.push_back(uid);
            } else if (it->second.hash != entry.second) {
                updates.push_back(uid);
            }
        }
        for (const auto& [uid, item] : cs.items)
            if (!now.count(uid)) deletes.push_back(uid);
        if (!creates.empty() && !save()) return false;

        for (const std::string& uid : creates) {
            const auto& [o, hash] = now.at(uid);
            StateItem& item = cs.items.at(uid);
            item.hash = hash;
            item.name = o->name;
            HttpResponse r;
            if (!put(item.href, o->text, type, {"If-None-Match", "*"}, r)) return false;
            if (conflictStatus(r.status) && adoptable.count(uid)) {
                // Sent by the run that was cut off: take it over at the ETag it has now.
                const std::string etag = client_.etagOf(item.href);
                if (etag.empty()) return fail(client_.error());
                if (!put(item.href, o->text, type, {"If-Match", etag}, r)) return false;
            }
            if (success(r.status)) {
                if (!finish(item, r)) return false;
                ++counts_.added;
            } else if (conflictStatus(r.status)) {
                conflict(uid, o->name);
                cs.items.erase(uid);
            } else if (!refused(r.status, "PUT " + item.href, uid, o->name)) {
                return false;
            } else if (!adoptable.count(uid)) {
                cs.items.erase(uid);
            }
            if (!save()) return false;
        }
        for (const std::string& uid : updates) {
            const auto& [o, hash] = now.at(uid);
            StateItem& item = cs.items.at(uid);
            HttpResponse r;
            if (!put(item.href, o->text, type, {"If-Match", item.etag}, r)) return false;
            if (success(r.status)) {
                item.hash = hash;
                item.name = o->name;
                if (!finish(item, r)) return false;
                ++counts_.changed;
                if (!save()) return false;
            } else if (conflictStatus(r.status) || r.status == 404) {
                conflict(uid, o->name);
            } else if (!refused(r.status, "PUT " + item.href, uid, o->name)) {
                return false;
            }
        }
        for (const std::string& uid : deletes) {
            const StateItem item = cs.items.at(uid);
            HttpRequest request{"DELETE", item.href, {}, {}};
            // A create never confirmed has no ETag to hold it to; it is this program's own.
            if (!item.etag.empty()) request.headers.push_back({"If-Match", item.etag});
            HttpResponse r;
            if (!client_.send(request, r)) return fail(client_.error());
            if (success(r.status) || r.status == 404) {
                cs.items.erase(uid);
                ++counts_.deleted;
                if (!save()) return false;
            } else if (conflictStatus(r.status)) {
                conflict(uid, item.name);
            } else if (!refused(r.status, "DELETE " + item.href, uid, item.name)) {
                return false;
            }
        }
        return true;
    }

    bool refusedAny() const { return refusedAny_; }

private:
    bool fail(const std::string& why) {
        err_ << kPrefix << why << "\n";
        return false;
    }
    bool save() {
        std::string why;
        return saveState(file_, state_, why) || fail(why);
    }
    void conflict(const std::string& uid, const std::string& name) {
        ++counts_.conflicts;
        err_ << kPrefix << "changed on the server since the last push, left as it is there: " << uid
             << " " << name << "\n";
    }
    // An object the server would not take: said, and the run goes on with the others. False
    // (the run stops) when the status means no other request would get through either.
    bool refused(long status, const std::string& what, const std::string& uid,
                 const std::string& name) {
        if (fatalStatus(status)) {
            client_.statusError(status, what);
            return fail(client_.error());
        }
        refusedAny_ = true;
        err_ << kPrefix << "the server refused " << uid << " " << name << " (" << status << " for "
             << what << ")\n";
        return true;
    }
    bool put(const std::string& url, const std::string& text, const char* type,
             std::pair<std::string, std::string> condition, HttpResponse& r) {
        HttpRequest request{"PUT", url, {{"Content-Type", type}, std::move(condition)}, text};
        return client_.send(request, r) || fail(client_.error());
    }
    // The new ETag, from the answer or else asked for.
    bool finish(StateItem& item, const HttpResponse& r) {
        item.etag = r.etag.empty() ? client_.etagOf(item.href) : r.etag;
        return !item.etag.empty() || fail(client_.error());
    }

    // The collection's URL: given, remembered from an earlier run, or discovered now; checked
    // with one PROPFIND, which also tells that the server answers and takes the credentials.
    bool collection(Collection kind, std::string& url) {
        const bool calendar = kind == Collection::Calendar;
        const std::string& given = calendar ? given_.calendar : given_.addressbook;
        std::string& remembered = calendar ? server_->calendarUrl : server_->addressbookUrl;
        for (int attempt = 0; attempt < 2; ++attempt) {
            url = given.empty() ? remembered : given;
            const bool fromMemory = given.empty() && !remembered.empty();
            if (url.empty()) {
                Collections found;
                (calendar ? found.addressbook : found.calendar) = "-";  // only the one asked
                if (!discover(client_, url_, found)) return fail(client_.error());
                url = remembered = calendar ? found.calendar : found.addressbook;
                if (!save()) return false;
            }
            Multistatus ms;
            long status = 0;
            if (client_.propfind(url, 0, "<D:resourcetype/>", ms, false, &status)) {
                for (const DavResource& r : ms.resources)
                    if (calendar ? r.calendar : r.addressbook) return true;
                return fail(url + " is not " + (calendar ? "a calendar" : "an address book"));
            }
            // A remembered collection deleted on the server since: look for one again.
            if (status != 404 || !fromMemory) return fail(client_.error());
            remembered.clear();
        }
        return fail(client_.error());
    }

    Client client_;
    std::filesystem::path file_;
    PushCounts& counts_;
    std::ostream& err_;
    PushState state_;
    std::string url_;
    ServerState* server_ = nullptr;
    Collections given_;
    bool refusedAny_ = false;
};

}  // namespace

bool push(Transport& transport, const std::vector<ExportedObject>& objects,
          const PushOptions& options, const std::filesystem::path& stateFile, PushCounts& counts,
          std::ostream& err) {
    counts = {};
    Run run(transport, stateFile, counts, err);
    if (!run.start(options)) return false;
    std::vector<const ExportedObject*> events, cards;
    for (const ExportedObject& o : objects)
        (o.collection == Collection::Calendar ? events : cards).push_back(&o);
    if (!run.pushCollection(Collection::Calendar, events)) return false;
    if (!run.pushCollection(Collection::AddressBook, cards)) return false;
    return !run.refusedAny();
}

}  // namespace dav
