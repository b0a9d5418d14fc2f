// The download against a loopback server started by each test.
#include <gtest/gtest.h>

#include "update/HttpFile.h"
#include "update/LoopbackServer.h"

namespace folioknife::update {
namespace {
using namespace std::chrono_literals;
using testing::LoopbackServer;
using testing::Reply;
using testing::httpReply;

class HttpFileTest : public ::testing::Test {
protected:
    void SetUp() override { testing::bypassProxyForLoopback(); }
    static HttpLimits quick() {
        HttpLimits limits;
        limits.connectTimeout = 2s;
        limits.totalTimeout = 5s;
        return limits;
    }
    static std::string address(const LoopbackServer& server, const std::string& path) {
        return "http://" + server.host() + path;
    }
};

TEST_F(HttpFileTest, RequestIsAnHttp10GetWithTheAgentAndNoCache) {
    LoopbackServer server({httpReply("[up]\nver=0.8\n")});
    const HttpFile file = getHttpFile(address(server, "/soft/folioknife/up.ini"), quick());
    EXPECT_EQ(file.bytes, "[up]\nver=0.8\n");
    ASSERT_EQ(server.requests().size(), 1u);
    const std::string request = server.requests()[0];
    EXPECT_EQ(request.rfind("GET /soft/folioknife/up.ini HTTP/1.0\r\n", 0), 0u) << request;
    for (const char* line : {"\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n",
                             "\r\nHost: 127.0.0.1:"}) {
        EXPECT_NE(request.find(line), std::string::npos) << line << "\n" << request;
    }
    EXPECT_NE(request.find("*/*"), std::string::npos) << request;
#ifndef _WIN32
    for (const char* line : {"\r\nAccept: */*\r\n", "\r\nCache-Control: no-cache\r\n",
                             "\r\nPragma: no-cache\r\n"}) {
        EXPECT_NE(request.find(line), std::string::npos) << line << "\n" << request;
    }
#endif
    std::printf("request received:\n%s", request.c_str());
}

TEST_F(HttpFileTest, ContentLengthSetsTheChunkAndTheWholeBodyArrives) {
    struct Case {
        std::string contentLength;  // "" the real one, "-" none
        std::size_t bodySize;
        std::size_t chunk;
    } cases[] = {
        {"", 100, 101},
        {"", 200000, 102400},
        {"-", 30000, 10240},
        {"0", 0, 10240},
        {std::string(29, '0') + "100", 100, 10240},  // 32 characters do not fit the buffer
    };
    for (const auto& c : cases) {
        std::string body;
        for (std::size_t i = 0; i < c.bodySize; ++i) body += static_cast<char>('a' + i % 26);
        LoopbackServer server({httpReply(body, "200 OK", c.contentLength)});
        const HttpFile file = getHttpFile(address(server, "/f"), quick());
        EXPECT_EQ(file.chunkSize, c.chunk) << c.contentLength << " " << c.bodySize;
        EXPECT_EQ(file.bytes, body) << c.contentLength << " " << c.bodySize;
    }
}

TEST_F(HttpFileTest, AnyStatusGivesItsBody) {
    const std::string html = "<html><body><h1>404 Not Found</h1></body></html>";
    LoopbackServer server({httpReply(html, "404 Not Found")});
    EXPECT_EQ(getHttpFile(address(server, "/soft/folioknife/up.ini"), quick()).bytes, html);
}

TEST_F(HttpFileTest, FragmentIsNeverSentQueryIs) {
    LoopbackServer server({httpReply("a"), httpReply("b")});
    EXPECT_EQ(getHttpFile(address(server, "/soft/up.ini?x=1#frag"), quick()).bytes, "a");
    EXPECT_EQ(getHttpFile(address(server, "/soft/up.ini#a#b"), quick()).bytes, "b");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")), "GET /soft/up.ini?x=1 HTTP/1.0");
    EXPECT_EQ(requests[1].substr(0, requests[1].find("\r\n")), "GET /soft/up.ini HTTP/1.0");
}

TEST_F(HttpFileTest, RedirectsAreFollowed) {
    LoopbackServer server({Reply{"HTTP/1.0 302 Found\r\nLocation: /moved/up.ini\r\n"
                                 "Content-Length: 5\r\n\r\nmoved"},
                           httpReply("[up]\nver=0.9\n")});
    EXPECT_EQ(getHttpFile(address(server, "/soft/folioknife/up.ini"), quick()).bytes,
              "[up]\nver=0.9\n");
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[1].rfind("GET /moved/up.ini HTTP/1.0\r\n", 0), 0u);
}

TEST_F(HttpFileTest, ABrokenConnectionGivesWhatArrived) {
    const std::string part(300, 'p');
    LoopbackServer server({httpReply(part, "200 OK", "1000")});
    const HttpFile file = getHttpFile(address(server, "/f"), quick());
    EXPECT_EQ(file.bytes, part);
    EXPECT_EQ(file.chunkSize, 1001u);
}

TEST_F(HttpFileTest, FailuresGiveNothing) {
    EXPECT_EQ(getHttpFile("", quick()).bytes, "");
    const std::string unreachable =
        "http://127.0.0.1:" + std::to_string(LoopbackServer::unusedPort()) + "/up.ini";
    const HttpFile file = getHttpFile(unreachable, quick());
    EXPECT_EQ(file.bytes, "");
    EXPECT_EQ(file.chunkSize, 0u);
}

TEST_F(HttpFileTest, AnEndlessBodyIsCutAtTheLimit) {
    LoopbackServer server({Reply{"HTTP/1.0 200 OK\r\n\r\n", Reply::Ending::Endless}});
    HttpLimits limits = quick();
    limits.maxBytes = 64 * 1024;
    const HttpFile file = getHttpFile(address(server, "/f"), limits);
    EXPECT_EQ(file.bytes, std::string(64 * 1024, 'x'));
}

TEST_F(HttpFileTest, AStalledServerIsGivenUpWithinTheTimeOut) {
    struct Case {
        const char* name;
        Reply reply;
    } cases[] = {
        {"silent after the request", Reply{"", Reply::Ending::Stall}},
        {"silent mid-body", Reply{"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nabc",
                                  Reply::Ending::Stall}},
    };
    for (const auto& c : cases) {
        LoopbackServer server({c.reply});
        HttpLimits limits;
        limits.connectTimeout = 1s;
        limits.totalTimeout = 1s;
        const auto start = std::chrono::steady_clock::now();
        const HttpFile file = getHttpFile(address(server, "/f"), limits);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, 8s) << c.name;
#ifdef _WIN32
        // WinINet's read waits for a whole chunk; when it times out, what it held is lost.
        EXPECT_EQ(file.bytes, "") << c.name;
#else
        EXPECT_EQ(file.bytes, c.reply.bytes.empty() ? "" : "abc") << c.name;
#endif
    }
}

}  // namespace
}  // namespace folioknife::update
