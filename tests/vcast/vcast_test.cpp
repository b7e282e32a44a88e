// The video library's start and end: the capture devices are there between
// VCAST_Init and the last VCAST_Release, and not before or after.
#include <gtest/gtest.h>

#include "platform/vcast/vcast.h"

TEST(Vcast, DevicesAreRegisteredBetweenInitAndTheLastRelease) {
    EXPECT_EQ(VCAST_InputDeviceCount(), 0);
    ASSERT_EQ(VCAST_Init(), 1);
    const int devices = VCAST_InputDeviceCount();
    EXPECT_GT(devices, 0);
    ASSERT_EQ(VCAST_Init(), 1);  // a second user only counts
    VCAST_Release();
    EXPECT_EQ(VCAST_InputDeviceCount(), devices);
    VCAST_Release();
    EXPECT_EQ(VCAST_InputDeviceCount(), 0);
    VCAST_Release();  // one release too many changes nothing
    EXPECT_EQ(VCAST_InputDeviceCount(), 0);
    ASSERT_EQ(VCAST_Init(), 1);  // and it starts again
    EXPECT_EQ(VCAST_InputDeviceCount(), devices);
    VCAST_Release();
}
