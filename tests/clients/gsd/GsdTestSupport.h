// SPDX-License-Identifier: Apache-2.0
#pragma once

// Helpers shared by the GSD client tests: JSON literals and a legacy narrow
// code page for the text conversions.

#include "AnsiCodePage.h"
#include "support/JsonText.h"

#include <memory>
#include <string>
#include <vector>

namespace gsdtest {

using TestJson::Compact;
using TestJson::ParseJson;

// UTF-8 spellings used across the tests.
constexpr const char* kUtf8EAcute = "\xC3\xA9";
constexpr const char* kUtf8NoBreakSpace = "\xC2\xA0";

// Puts the library's narrow code page on a legacy one for the lifetime of the
// object, so that UTF-8 answers visibly change bytes when converted, and
// tells the bytes of "é" and of the no-break space in it. Single-byte code
// pages are preferred; a double-byte one serves where it is the one in force.
class LegacyLocale {
public:
    LegacyLocale() {
        for (const Sample& sample : Samples()) {
            codePage_ =
                std::make_unique<TestText::ScopedAnsiCodePage>(sample.codePage, sample.locales);
            if (codePage_->IsActive()) {
                sample_ = &sample;
                return;
            }
            codePage_.reset();
        }
    }
    LegacyLocale(const LegacyLocale&) = delete;
    LegacyLocale& operator=(const LegacyLocale&) = delete;

    bool Active() const { return sample_ != nullptr; }
    // Only while Active().
    const std::string& EAcute() const { return sample_->eAcute; }
    const std::string& NoBreakSpace() const { return sample_->noBreakSpace; }

private:
    struct Sample {
        unsigned int codePage;
        std::vector<const char*> locales;
        std::string eAcute;
        std::string noBreakSpace;
    };

    static const std::vector<Sample>& Samples() {
        static const std::vector<Sample> samples = {
            {28605, {"en_US.ISO-8859-15", "en_US.iso885915"}, "\xE9", "\xA0"},
            {1252, {"en_US.CP1252"}, "\xE9", "\xA0"},
            // Code page 936 has no no-break space; it becomes the default
            // character.
            {936, {"zh_CN.GBK"}, "\xA8\xA6", "?"},
        };
        return samples;
    }

    std::unique_ptr<TestText::ScopedAnsiCodePage> codePage_;
    const Sample* sample_ = nullptr;
};

}  // namespace gsdtest
