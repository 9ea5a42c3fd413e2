// SPDX-License-Identifier: Apache-2.0
// The catalogue service's GSDML parser on arbitrary bytes. It must never
// throw, and it either gives a file or says why not, never both and never
// neither. The catalogue only checks a file when it is imported and builds
// it on first use. Check and build are one walker instantiated twice, so
// what is held here is what differs between the two instantiations (the
// lists a check only counts, the records it checks and the build defers):
// the check must give exactly the parser's verdict and reasons, and what it
// accepts, and its records, must build without a problem. The number-list
// reader must keep within the count it is given.
//
// Input: one byte choosing the text language, then the document.

#include "FuzzSupport.h"

#include "GsdParser.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using fuzzsupport::Fail;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const char* const kLanguages[] = {"", "en", "de", "de-DE"};
    const std::string language = kLanguages[data[0] % 4];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    GsdCatalog::ParseOutcome outcome;
    try {
        outcome = GsdCatalog::ParseGsdml(bytes, language);
    } catch (...) {
        Fail("the parser threw");
    }
    if ((outcome.file != nullptr) == !outcome.errors.empty()) {
        Fail("a file and reasons together, or neither");
    }
    if (outcome.file && !GsdCatalog::BuildAllRecords(*outcome.file).empty()) {
        Fail("a record of an accepted file had a problem its check missed");
    }
    GsdCatalog::CheckedGsd checked;
    try {
        checked = GsdCatalog::CheckGsdml(bytes, language);
        if (checked.errors != outcome.errors) {
            Fail("the check and the parser disagree on the reasons");
        }
        if (checked.document) {
            const GsdCatalog::ParseOutcome built = GsdCatalog::BuildChecked(checked.document);
            if (!built.file || !built.errors.empty() ||
                !GsdCatalog::BuildAllRecords(*built.file).empty()) {
                Fail("a checked file did not build cleanly");
            }
        }
    } catch (...) {
        Fail("the check or the build threw");
    }

    // The same bytes as a number list, with a small limit.
    std::vector<int> values;
    constexpr std::size_t kLimit = 1000;
    bool listed = false;
    try {
        listed = GsdCatalog::ParseValueList(bytes.substr(0, 256), values, kLimit);
    } catch (...) {
        Fail("the number-list reader threw");
    }
    if (listed && values.size() > kLimit) {
        Fail("the number-list reader went past its limit");
    }
    return 0;
}
