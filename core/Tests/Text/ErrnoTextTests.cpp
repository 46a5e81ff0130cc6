#include "Text/ErrnoText.hpp"

#include <gtest/gtest.h>

#include <cerrno>

namespace marlowick {
namespace {

TEST(ErrnoText, NamesTheNumberAndTheSystemsMessage) {
    EXPECT_EQ(errnoText(EACCES), "errno 13 (Permission denied)");
    EXPECT_EQ(errnoText(EBUSY), "errno 16 (Device or resource busy)");
    errno = EIO;
    EXPECT_EQ(currentErrnoText(), "errno 5 (Input/output error)");
    EXPECT_EQ(errnoText(99999).rfind("errno 99999 (", 0), 0U);
}

}  // namespace
}  // namespace marlowick
