// The transport on its own: error classes the client's retries rely on, and
// header-line modifiers.
#include <gtest/gtest.h>

#include "ScriptedServer.h"
#include "http/transport/Connection.h"
#include "http/transport/HeaderModifiers.h"
#include "http/transport/Request.h"
#include "http/transport/Session.h"

namespace linkhaul::transport {
namespace {

using linkhaul::testing::ScriptedReply;
using linkhaul::testing::ScriptedServer;

struct Fixture {
    Session session{"agent", std::make_shared<AbortSignal>()};
};

TEST(HttpTransport, RefusedAndResetConnectionsAreReportedAsSuch) {
    int closedPort;
    {
        ScriptedServer gone;
        closedPort = gone.port();
    }
    Fixture f;
    Connection refused(f.session, "127.0.0.1", closedPort);
    Request toRefused(refused, "GET", "/", {});
    EXPECT_FALSE(toRefused.send({}));
    EXPECT_EQ(toRefused.lastError(), SendError::CannotConnect);

    ScriptedServer server;
    server.add({"", linkhaul::testing::After::Reset});
    Connection resetting(f.session, "127.0.0.1", server.port());
    Request toReset(resetting, "GET", "/", {});
    EXPECT_FALSE(toReset.send({}));
    EXPECT_EQ(toReset.lastError(), SendError::ConnectionReset);

    // A reset right after the accept may reach the client while its connect
    // is still being confirmed; either way it is one of the two retried kinds.
    ScriptedReply resetAtOnce;
    resetAtOnce.resetOnAccept = true;
    server.add(resetAtOnce);
    Connection resetEarly(f.session, "127.0.0.1", server.port());
    Request toResetEarly(resetEarly, "GET", "/", {});
    EXPECT_FALSE(toResetEarly.send({}));
    EXPECT_TRUE(toResetEarly.lastError() == SendError::ConnectionReset ||
                toResetEarly.lastError() == SendError::CannotConnect);

    server.add({"\x01\x02 not http\r\n\r\n", linkhaul::testing::After::Close});
    Connection junk(f.session, "127.0.0.1", server.port());
    Request toJunk(junk, "GET", "/", {});
    EXPECT_FALSE(toJunk.send({}));
    EXPECT_EQ(toJunk.lastError(), SendError::Failed);
    EXPECT_FALSE(toJunk.errorText().empty());
}

struct ModifierCase {
    const char* name;
    std::vector<std::pair<std::string, std::uint32_t>> steps;
    std::vector<bool> results;
    std::vector<std::string> lines;
};

TEST(HttpTransport, HeaderModifiers) {
    const std::uint32_t addReplace = HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE;
    const std::vector<ModifierCase> cases = {
        {"add or replace keeps one line",
         {{"A:1", addReplace}, {"a:2", addReplace}},
         {true, true},
         {"a:2"}},
        {"add if new keeps the first",
         {{"A:1", addReplace}, {"A:2", HTTP_ADDREQ_FLAG_ADD_IF_NEW}},
         {true, false},
         {"A:1"}},
        {"replace alone with no value removes",
         {{"A:1", addReplace}, {"B:2", addReplace}, {"A:", HTTP_ADDREQ_FLAG_REPLACE}},
         {true, true, true},
         {"B:2"}},
        {"replace alone needs an existing header",
         {{"A:1", HTTP_ADDREQ_FLAG_REPLACE}},
         {false},
         {}},
        {"plain add allows duplicates",
         {{"A:1", HTTP_ADDREQ_FLAG_ADD}, {"A:2", HTTP_ADDREQ_FLAG_ADD}},
         {true, true},
         {"A:1", "A:2"}},
        {"several lines at once", {{"A:1\r\nB:2\r\n", addReplace}}, {true}, {"A:1", "B:2"}},
        {"malformed lines refused",
         {{"no colon", addReplace}, {":v", addReplace}, {"A:1\nB:2", addReplace}},
         {false, false, false},
         {}},
        {"empty value kept as a bare line", {{"Cookie:", addReplace}}, {true}, {"Cookie:"}},
    };
    for (const ModifierCase& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        Connection connection(f.session, "127.0.0.1", 1);
        Request request(connection, "GET", "/", {});
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            EXPECT_EQ(request.addHeaders(c.steps[i].first, c.steps[i].second), c.results[i]) << i;
        }
        EXPECT_EQ(request.headerLines(), c.lines);
    }
}

}  // namespace
}  // namespace linkhaul::transport
