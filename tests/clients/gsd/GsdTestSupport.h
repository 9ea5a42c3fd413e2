// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "AnsiCodePage.h"
#include "support/JsonText.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace gsdtest {

using TestJson::ParseJson;

constexpr const char* kUtf8EAcute = "\xC3\xA9";
constexpr const char* kUtf8NoBreakSpace = "\xC2\xA0";

// Puts the narrow code page on a legacy one, where UTF-8 answers change bytes
// when converted, and tells its "é" and no-break space (936 has none: "?").
class CodePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        static const std::tuple<unsigned, std::vector<const char*>, const char*, const char*>
            samples[] = {{28605, {"en_US.ISO-8859-15", "en_US.iso885915"}, "\xE9", "\xA0"},
                         {1252, {"en_US.CP1252"}, "\xE9", "\xA0"},
                         {936, {"zh_CN.GBK"}, "\xA8\xA6", "?"}};
        for (const auto& [codePage, locales, eAcute, noBreakSpace] : samples) {
            codePage_ = std::make_unique<TestText::ScopedAnsiCodePage>(codePage, locales);
            if (codePage_->IsActive()) {
                eAcute_ = eAcute;
                noBreakSpace_ = noBreakSpace;
                return;
            }
        }
        GTEST_SKIP() << "no legacy code page in force (POSIX: run scripts/setup-deps.sh)";
    }
    const std::string& EAcute() const { return eAcute_; }
    const std::string& NoBreakSpace() const { return noBreakSpace_; }

private:
    std::unique_ptr<TestText::ScopedAnsiCodePage> codePage_;
    std::string eAcute_, noBreakSpace_;
};

}  // namespace gsdtest
