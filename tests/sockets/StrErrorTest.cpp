#include <gtest/gtest.h>

#include "sockets/StrError.h"

TEST(StrError, TableTextsAndTheFallback) {
    const struct {
        int code;
        const char* text;
    } cases[] = {
        {10004, "Interrupted function call."}, {10061, "Connection refused."},
        {10109, "Class type not found."},      {11004, "Valid name, no data record of requested type."},
        {5, "Winsock error code: 5"},          {10059, "Winsock error code: 10059"},
        {-1, "Winsock error code: -1"},
    };
    for (const auto& c : cases) EXPECT_EQ(StrError(c.code), c.text) << c.code;
}
