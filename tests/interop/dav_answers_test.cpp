// What the push reads from outside: the server's multistatus answers and the push state file.
// Both are read or refused with a message, within their bounds.
#include <gtest/gtest.h>

#include <string>

#include "interop/dav/multistatus.h"
#include "interop/dav/push_state.h"

namespace {

constexpr char kBase[] = "http://127.0.0.1:5232/anna/";

std::string wrap(const std::string& responses) {
    return "<?xml version='1.0' encoding='utf-8'?>\n<multistatus xmlns=\"DAV:\" "
           "xmlns:C=\"urn:ietf:params:xml:ns:caldav\" "
           "xmlns:CR=\"urn:ietf:params:xml:ns:carddav\">" +
           responses + "</multistatus>";
}

TEST(DavAnswers, MultistatusIsReadWithItsPropertiesAndRefusedWhenMalformed) {
    // A home's listing: relative and absolute hrefs, a property refused with 404 is not taken.
    dav::Multistatus ms;
    std::string error;
    ASSERT_TRUE(dav::parseMultistatus(
        wrap("<response><href>/anna/</href><propstat><prop><resourcetype><collection/>"
             "</resourcetype></prop><status>HTTP/1.1 200 OK</status></propstat><propstat><prop>"
             "<C:supported-calendar-component-set/></prop><status>HTTP/1.1 404 Not Found"
             "</status></propstat></response>"
             "<response><href>tasks/</href><propstat><prop><resourcetype><collection/>"
             "<C:calendar/></resourcetype><C:supported-calendar-component-set><C:comp "
             "name=\"VTODO\"/></C:supported-calendar-component-set></prop><status>HTTP/1.1 200 "
             "OK</status></propstat></response>"
             "<response><href>http://127.0.0.1:5232/anna/a%20b/</href><propstat><prop>"
             "<resourcetype><collection/><CR:addressbook/></resourcetype><getetag>\"e\"</getetag>"
             "</prop><status>HTTP/1.1 200 OK</status></propstat></response>"
             "<response><href>/anna/gone.ics</href><status>HTTP/1.1 404 Not Found</status>"
             "</response><sync-token>http://radicale.org/ns/sync/7</sync-token>"),
        kBase, ms, error))
        << error;
    ASSERT_EQ(ms.resources.size(), 4u);
    EXPECT_EQ(ms.resources[0].href, "http://127.0.0.1:5232/anna/");
    EXPECT_FALSE(ms.resources[0].hasComponentSet);
    EXPECT_EQ(ms.resources[1].href, "http://127.0.0.1:5232/anna/tasks/");
    EXPECT_TRUE(ms.resources[1].calendar);
    EXPECT_EQ(ms.resources[1].components, std::vector<std::string>{"VTODO"});
    EXPECT_TRUE(ms.resources[2].addressbook);
    EXPECT_EQ(ms.resources[2].href, "http://127.0.0.1:5232/anna/a%20b/");
    EXPECT_EQ(ms.resources[2].etag, "\"e\"");
    EXPECT_EQ(ms.resources[3].status, 404);
    EXPECT_EQ(ms.syncToken, "http://radicale.org/ns/sync/7");

    std::string nested;
    for (int i = 0; i < 40; ++i) nested += "<x>";
    for (const std::string& bad : {
             std::string("<html><body>Bad Gateway</body></html>"),
             wrap("<response><href>/a</href>"),         // cut short
             wrap("<response><propstat/></response>"),  // no href
             wrap("<response><href>javascript:alert(1)</href></response>"),
             wrap("<response><href>/a</href></response>") + "<multistatus/>",
             "<?xml version=\"1.0\"?><!DOCTYPE m [<!ENTITY a \"b\">]>" +
                 wrap("<response><href>&a;</href></response>"),
             wrap("<response><href>/a</href>" + nested + "</response>"),
             wrap("<response><href>" + std::string(9000, 'a') + "</href></response>"),
             std::string(),
         }) {
        error.clear();
        EXPECT_FALSE(dav::parseMultistatus(bad, kBase, ms, error)) << bad.substr(0, 80);
        EXPECT_EQ(error.rfind("malformed answer from the server", 0), 0u) << error;
    }
    EXPECT_TRUE(dav::sameOrigin("http://127.0.0.1:5232/a/", "http://127.0.0.1:5232/b"));
    EXPECT_FALSE(dav::sameOrigin("http://127.0.0.1:5232/a/", "http://127.0.0.1:5233/a/"));
    EXPECT_FALSE(dav::sameOrigin("https://h/a/", "http://h/a/"));
}

TEST(DavAnswers, PushStateRoundTripsAndADamagedOneIsRefused) {
    dav::PushState state;
    dav::ServerState& server = state.servers["https://dav.example.com/"];
    server.calendarUrl = "https://dav.example.com/anna/quorin/";
    dav::StateItem item{"https://dav.example.com/anna/quorin/u%201.ics", "\"a b\"",
                        dav::contentHash("BEGIN:VCALENDAR\r\n"), "회의 1 %"};
    server.collections[server.calendarUrl].items["u 1"] = item;
    server.collections[server.calendarUrl].items["-"] = {item.href, "", item.hash, ""};
    const std::string text = dav::serializeState(state);
    dav::PushState back;
    std::string error;
    ASSERT_TRUE(dav::parseState(text, back, error)) << error;
    EXPECT_EQ(dav::serializeState(back), text);
    const dav::StateItem& got = back.servers.at("https://dav.example.com/")
                                    .collections.at(server.calendarUrl)
                                    .items.at("u 1");
    EXPECT_EQ(got.etag, "\"a b\"");
    EXPECT_EQ(got.name, "회의 1 %");
    EXPECT_TRUE(back.servers.begin()->second.addressbookUrl.empty());

    // DTSTAMP says when the text was written, not what it holds.
    EXPECT_EQ(dav::contentHash("A\r\nDTSTAMP:20260101T000000Z\r\nB\r\n"),
              dav::contentHash("A\r\nDTSTAMP:20270101T000000Z\r\nB\r\n"));
    EXPECT_NE(dav::contentHash("A\r\nB\r\n"), dav::contentHash("A\r\nC\r\n"));

    const size_t itemLine = text.find("\nitem ") + 1;
    for (const std::string& bad : {
             text.substr(0, text.size() - 1),                 // last line cut
             text.substr(0, text.rfind("end ")),              // no end
             text.substr(0, text.rfind("end ")) + "end 3\n",  // count differs
             "quorin-dav-state 2\n" + text.substr(text.find('\n') + 1),
             text.substr(0, itemLine) + "item x https://h/x - 12 -\n" + text.substr(itemLine),
             text.substr(0, itemLine) + "item x ftp://h/x - " + item.hash + " -\n" +
                 text.substr(itemLine),
             text.substr(0, itemLine) + "item x https://h/%zz - " + item.hash + " -\n" +
                 text.substr(itemLine),
             text + "server https://other/\n",
             std::string(),
         }) {
        error.clear();
        EXPECT_FALSE(dav::parseState(bad, back, error)) << bad;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(back.servers.empty());
    }
}

}  // namespace
