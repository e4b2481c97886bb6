#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "interchange/Interchange.h"

namespace ks::test {

// An import's view of a program whose lists keep the rows an import adds,
// and whose list dialog keeps every item when `chooseAll`, else is not
// ended with OK; the progress cancels at `cancelAt`.
class ListImportSite : public ImportSite {
public:
    std::vector<std::string> macroRows() override {
        ++rowReads;
        return macros;
    }
    std::vector<std::string> recordingRows() override { return recordings; }
    void addMacroRow(const std::string& macro) override { macros.push_back(macro); }
    void addRecordingRow(const std::string& recording, std::uint32_t) override {
        recordings.push_back(recording);
    }
    std::optional<std::vector<std::size_t>> chooseItems(
        const std::string&, const std::vector<std::string>& names) override {
        if (!chooseAll) return std::nullopt;
        std::vector<std::size_t> all(names.size());
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
        return all;
    }
    bool progress(std::size_t done, std::size_t) override { return done < cancelAt; }

    std::vector<std::string> macros, recordings;
    int rowReads = 0;
    bool chooseAll = false;
    std::size_t cancelAt = SIZE_MAX;
};

}  // namespace ks::test
