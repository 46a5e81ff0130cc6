#include "Exfat/ExfatWriteError.hpp"

#include <gtest/gtest.h>

namespace marlowick {
namespace {

TEST(ExfatWriteError, RendersInTheCommonCaseForm) {
    const std::pair<ExfatWriteError, const char*> cases[] = {
        {{ExfatWriteError::NameTooLong{256}}, "nameTooLong(length: 256)"},
        {{ExfatWriteError::NameNotAscii{"caf\xC3\xA9.iso"}}, "nameNotAscii(name: \"caf\xC3\xA9.iso\")"},
        {{ExfatWriteError::NegativeSize{-1}}, "negativeSize(sizeBytes: -1)"},
        {{ExfatWriteError::NotEnoughSpace{12, 3}}, "notEnoughSpace(clustersNeeded: 12, clustersFree: 3)"},
        {{ExfatWriteError::SourceTooShort{4096, 1000}}, "sourceTooShort(declared: 4096, actual: 1000)"},
        {{ExfatWriteError::Unsupported{"volume is \"read-only\""}},
         "unsupported(reason: \"volume is \\\"read-only\\\"\")"},
        {{ExfatWriteError::EmptyName{}}, "emptyName"},
    };
    for (const auto& [error, text] : cases) {
        EXPECT_EQ(render(error), text);
    }
    const ExfatWriteError twelve{ExfatWriteError::NotEnoughSpace{12, 3}};
    const ExfatWriteError other{ExfatWriteError::NotEnoughSpace{12, 4}};
    EXPECT_NE(twelve, other);
}

}  // namespace
}  // namespace marlowick
