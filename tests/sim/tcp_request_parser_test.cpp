// How the TCP stream is cut into requests.

#include "sim/tcp_request_parser.h"

#include <gtest/gtest.h>

#include "tests/sim/sim_client.h"

using namespace simtest;
using pellacor::sim::TcpRequestParser;

namespace {

TEST(TcpRequestParser, TellsLengthsFromFirstBytes) {
    TcpRequestParser p;
    Bytes stream = Hex("1c41500100000000");                               // status, 8
    Bytes reset = Hex("1d1a1b1c1d4d4f4445011d02401d1a1b1c1d4d4f444502");  // reset, 23
    Bytes page = Block("1c72500200000000");                               // block, 64
    Bytes mode = Frame("1C778000080000000000000000000000");               // framed, 64
    for (const Bytes* b : {&reset, &page, &mode}) {
        stream.insert(stream.end(), b->begin(), b->end());
    }
    p.Feed(stream.data(), stream.size());
    std::vector<size_t> sizes;
    while (auto r = p.Next()) {
        sizes.push_back(r->size());
    }
    EXPECT_EQ(sizes, (std::vector<size_t>{8, 23, 64, 64}));
    EXPECT_EQ(p.Pending(), 0u);
}

TEST(TcpRequestParser, WaitsForBytesThatArriveOneAtATime) {
    TcpRequestParser p;
    Bytes status = Hex("1c41500100000000");
    for (size_t i = 0; i + 1 < status.size(); ++i) {
        p.Feed(&status[i], 1);
        EXPECT_FALSE(p.Next()) << i;
    }
    p.Feed(&status.back(), 1);
    EXPECT_EQ(p.Next()->size(), 8u);
    // The opening of the bracket is a prefix of the reset: undecided until byte 13.
    Bytes open = Block("1d1a1b1c1d4d4f444501");
    p.Feed(open.data(), 12);
    EXPECT_FALSE(p.Next());
    p.Feed(open.data() + 12, 52);
    EXPECT_EQ(p.Next()->size(), 64u);
}

TEST(TcpRequestParser, SkipsZeroPaddingAndHandsOutPartials) {
    TcpRequestParser p;
    Bytes status = Block("1c41500100000000");  // status sent as a padded 64-byte block
    p.Feed(status.data(), status.size());
    EXPECT_EQ(p.Next()->size(), 8u);
    EXPECT_FALSE(p.Next());
    EXPECT_EQ(p.SkippedPadding(), 56u);
    Bytes half = Hex("1c72500200");
    p.Feed(half.data(), half.size());
    EXPECT_FALSE(p.Next());
    EXPECT_EQ(p.TakePartial(), half);
    EXPECT_EQ(p.Pending(), 0u);
}

}  // namespace
