// The download against a loopback server started by each test.
#include <gtest/gtest.h>

#include "update/HttpFile.h"
#include "update/LoopbackServer.h"

namespace folioknife::update {
namespace {
using namespace std::chrono_literals;
using testing::httpReply;
using testing::LoopbackServer;
using testing::Reply;

HttpLimits limits(std::chrono::milliseconds total = 5s, std::size_t maxBytes = SIZE_MAX) {
    HttpLimits l;
    l.connectTimeout = 2s;
    l.totalTimeout = total;
    l.maxBytes = maxBytes;
    return l;
}

std::string firstLine(const std::string& request) {
    return request.substr(0, request.find("\r\n"));
}

class HttpFileTest : public ::testing::Test {
protected:
    void SetUp() override { testing::bypassProxyForLoopback(); }
};

TEST_F(HttpFileTest, RequestIsAnHttp10GetWithTheAgent) {
    LoopbackServer server({httpReply("[up]\nver=0.8\n")});
    EXPECT_EQ(getHttpFile("http://" + server.host() + "/soft/folioknife/up.ini", limits()).bytes,
              "[up]\nver=0.8\n");
    const std::string request = server.requests().at(0);
    std::printf("received:\n%s", request.c_str());
    EXPECT_EQ(firstLine(request), "GET /soft/folioknife/up.ini HTTP/1.0");
    std::vector<std::string> lines = {
        "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n",
        "\r\nAccept: */*\r\n"};
#ifndef _WIN32
    lines.insert(lines.end(), {"\r\nCache-Control: no-cache\r\n", "\r\nPragma: no-cache\r\n"});
#endif
    for (const auto& line : lines) EXPECT_NE(request.find(line), std::string::npos) << line;
}

TEST_F(HttpFileTest, BodyArrivesInChunksChosenByContentLength) {
    struct Case {
        const char* name;
        std::string status, length;  // length "" the real one, "-" none
        std::size_t size, chunk;
        std::size_t kept;  // bytes of the body that arrive
    } cases[] = {
        {"100", "200 OK", "", 100, 101, 100},
        {"200000", "200 OK", "", 200000, 102400, 200000},
        {"none", "200 OK", "-", 30000, 10240, 30000},
        {"zero", "200 OK", "0", 0, 10240, 0},
        {"32 characters", "200 OK", std::string(29, '0') + "100", 100, 10240, 100},
        // The blank after "Content-Length:" is no part of the value.
        {"31 characters", "200 OK", std::string(28, '0') + "100", 100, 101, 100},
        {"404 page", "404 Not Found", "", 60, 61, 60},
        {"broken after 300 of 1000", "200 OK", "1000", 300, 1001, 300},
    };
    for (const auto& c : cases) {
        std::string body;
        for (std::size_t i = 0; i < c.size; ++i) body += static_cast<char>('a' + i % 26);
        LoopbackServer server({httpReply(body, c.status, c.length)});
        const HttpFile file = getHttpFile("http://" + server.host() + "/f", limits());
        EXPECT_EQ(file.chunkSize, c.chunk) << c.name;
        EXPECT_EQ(file.bytes, body.substr(0, c.kept)) << c.name;
    }
}

TEST_F(HttpFileTest, FragmentsAreNotSentRedirectsAreFollowedLoopsEnd) {
    const Reply redirect{"HTTP/1.0 302 Found\r\nLocation: /moved\r\nContent-Length: 2\r\n\r\nno"};
    LoopbackServer server({httpReply("a"), redirect, httpReply("b")});
    EXPECT_EQ(getHttpFile("http://" + server.host() + "/up.ini?x=1#f#g", limits()).bytes, "a");
    EXPECT_EQ(getHttpFile("http://" + server.host() + "/up.ini", limits()).bytes, "b");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(firstLine(requests[0]), "GET /up.ini?x=1 HTTP/1.0");
    EXPECT_EQ(firstLine(requests[2]), "GET /moved HTTP/1.0");

    LoopbackServer loop(
        std::vector<Reply>(12, Reply{"HTTP/1.0 302 Found\r\nLocation: /loop\r\n\r\n"}));
    getHttpFile("http://" + loop.host() + "/loop", limits(1s));  // WinINet has no such limit
#ifndef _WIN32
    EXPECT_EQ(loop.connections(), 9u);  // the request and eight redirects
#endif
}

TEST_F(HttpFileTest, FailuresGiveNothingAndEndlessOrStalledServersEnd) {
    EXPECT_EQ(getHttpFile("", limits()).bytes, "");
    EXPECT_EQ(
        getHttpFile("http://" + LoopbackServer::unreachableHost() + "/up.ini", limits()).bytes, "");
    {
        LoopbackServer server({Reply{"HTTP/1.0 200 OK\r\n\r\n", Reply::Ending::Endless}});
        EXPECT_EQ(getHttpFile("http://" + server.host() + "/f", limits(5s, 65536)).bytes,
                  std::string(65536, 'x'));
    }
    for (const std::string& sent :
         {std::string(), std::string("HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nabc")}) {
        LoopbackServer server({Reply{sent, Reply::Ending::Stall}});
        const auto start = std::chrono::steady_clock::now();
        const HttpFile file = getHttpFile("http://" + server.host() + "/f", limits(1s));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << sent;
#ifdef _WIN32
        // WinINet's read waits for a whole chunk; when it times out, what it held is lost.
        EXPECT_EQ(file.bytes, "");
#else
        EXPECT_EQ(file.bytes, sent.empty() ? "" : "abc");
#endif
    }
}

}  // namespace
}  // namespace folioknife::update
