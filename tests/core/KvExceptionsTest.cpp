#include <gtest/gtest.h>

#include "KvExceptions.h"

namespace {
template <class Thrown, class Handler>
bool CaughtBy(const Thrown& e) {
    try {
        throw e;
    } catch (const Handler&) {
        return true;
    } catch (...) {  // only the test asks "did the named handler miss?"
        return false;
    }
}
}  // namespace

TEST(KvExceptions, HandlersCatchTheirBranchOnly) {
    EXPECT_TRUE((CaughtBy<KvNAKTargetBusyException, KvNAKException>(KvNAKTargetBusyException("x"))));
    EXPECT_TRUE((CaughtBy<KvConduitReadException, KvConduitException>(KvConduitReadException())));
    EXPECT_TRUE((CaughtBy<KvConduitOpenException, KvException>(KvConduitOpenException())));
    EXPECT_FALSE((CaughtBy<KvNoResponseException, KvConduitException>(KvNoResponseException())));
    EXPECT_FALSE((CaughtBy<KvStringFormatException, KvException>(KvStringFormatException("abc"))));
    EXPECT_TRUE((CaughtBy<KvStringFormatException, KvStringException>(KvStringFormatException("abc"))));
    EXPECT_FALSE((CaughtBy<KvNAKParameterException, KvConduitException>(KvNAKParameterException("x"))));
}

TEST(KvExceptions, DescribeTexts) {
    EXPECT_STREQ(KvException().Describe().CStr(), "KvException");
    EXPECT_STREQ(KvConduitException().Describe().CStr(), "KvConduitException");
    EXPECT_STREQ(KvConduitOpenException().Describe().CStr(), "KvConduitOpenException");
    EXPECT_STREQ(KvConduitConfigException().Describe().CStr(), "KvConduitConfigException");
    EXPECT_STREQ(KvConduitReadException().Describe().CStr(), "KvConduitReadException");
    EXPECT_STREQ(KvConduitWriteException().Describe().CStr(), "KvConduitWriteException");
    EXPECT_STREQ(KvNoResponseException().Describe().CStr(), "KvNoResponseException");

    const KvString line("*NAK:03\r\n");
    EXPECT_STREQ(KvNAKException(line).Describe().CStr(), "KvNAKException:*NAK:03\r\n");
    EXPECT_STREQ(KvNAKCommandException(line).Describe().CStr(), "KvNAKCommandException:*NAK:03\r\n");
    EXPECT_STREQ(KvNAKParameterException(line).Describe().CStr(), "KvNAKParameterException:*NAK:03\r\n");
    EXPECT_STREQ(KvNAKRouteException(line).Describe().CStr(), "KvNAKRouteException:*NAK:03\r\n");
    EXPECT_STREQ(KvNAKInforomException(line).Describe().CStr(), "KvNAKInforomException:*NAK:03\r\n");
    EXPECT_STREQ(KvNAKByteTimeoutException(line).Describe().CStr(), "KvNAKByteTimeoutException:*NAK:03\r\n");
    EXPECT_STREQ(KvNAKRetryFailedException(line).Describe().CStr(), "KvNAKRetryFailedException:*NAK:03\r\n");
    EXPECT_STREQ(KvNAKResponseTimeoutException(line).Describe().CStr(), "KvNAKResponseTimeoutException:*NAK:03\r\n");
    EXPECT_STREQ(KvNAKTargetBusyException(line).Describe().CStr(), "KvNAKTargetBusyException:*NAK:03\r\n");
    EXPECT_STREQ(KvNAKDuplicatePacketException(line).Describe().CStr(), "KvNAKDuplicatePacketException:*NAK:03\r\n");
    EXPECT_STREQ(KvNAKException().Describe().CStr(), "KvNAKException:");

    EXPECT_STREQ(KvStringException(KvString("abc")).Describe().CStr(), "KvStringException:abc");
    EXPECT_STREQ(KvStringFormatException(KvString("abc")).Describe().CStr(), "KvStringFormatExceptionabc");
}

TEST(KvExceptions, DescribeIsVirtualThroughTheBase) {
    try {
        throw KvNAKParameterException(KvString("*NAK:03\r\n"));
    } catch (const KvException& e) {
        EXPECT_STREQ(e.Describe().CStr(), "KvNAKParameterException:*NAK:03\r\n");
    }
}
