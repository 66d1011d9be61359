// The element pool under AddressSanitizer: what it holds is unaddressable, so a use of a pooled
// block after it was given back (or past its end) is reported as it would be for the heap.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "components/xml/simple_xml.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUILLAN_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLAN_TEST_ASAN 1
#endif
#endif

namespace quillan {
namespace {

// ASan names an access to memory its program marked unaddressable "use-after-poison"; a block the
// heap handed out and took back would be a "heap-use-after-free" instead.
constexpr const char* kPoisoned = "AddressSanitizer: use-after-poison";

TEST(XmlPoolDeathTest, ElementUsedAfterItsDocumentIsGoneIsReported) {
#ifndef QUILLAN_TEST_ASAN
    GTEST_SKIP() << "needs AddressSanitizer";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A document kept open keeps the pool's chunks: the freed elements stay in the pool.
    TSimpleXML kept;
    kept.LoadFromString("<HOT><Template>k</Template></HOT>");
    auto gone = std::make_unique<TSimpleXML>();
    gone->LoadFromString("<HOT><Template>t</Template><Template>u</Template></HOT>");
    TSimpleXMLElem* stale = gone->Root().Items().Item(1);
    ASSERT_NE(stale, nullptr);
    EXPECT_EQ(stale->Name(), "Template");
    const size_t held = xml_detail::PoolHeldBytes();
    EXPECT_GT(held, 0u) << "the elements did not come from the pool";
    gone.reset();
    EXPECT_EQ(xml_detail::PoolHeldBytes(), held);
    EXPECT_DEATH(
        {
            volatile char first = stale->Name()[0];
            (void)first;
        },
        kPoisoned);
#endif
}

TEST(XmlPoolDeathTest, BytesPastAPooledBlockAreReported) {
#ifndef QUILLAN_TEST_ASAN
    GTEST_SKIP() << "needs AddressSanitizer";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // 20 bytes asked for sit in a 32-byte class: the 12 after them are not the caller's.
    auto* block = static_cast<char*>(xml_detail::PoolAllocate(20));
    std::memset(block, 'x', 20);
    EXPECT_DEATH(
        {
            volatile char* past = block + 20;
            *past = 'y';
        },
        kPoisoned);
    xml_detail::PoolFree(block, 20);
    // Handed out again, the block is whole once more.
    auto* again = static_cast<char*>(xml_detail::PoolAllocate(20));
    std::memset(again, 'z', 20);
    xml_detail::PoolFree(again, 20);
#endif
}

}  // namespace
}  // namespace quillan
