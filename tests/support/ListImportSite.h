#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "MapTriggerOwners.h"
#include "interchange/Interchange.h"

namespace ks::test {

// An import's view of a program whose lists keep the rows an import adds
// and whose triggers are all free; a list dialog is never answered with OK.
class ListImportSite final : public ImportSite {
public:
    std::vector<std::string> macroRows() override { return macros; }
    std::vector<std::string> recordingRows() override { return recordings; }
    void addMacroRow(const std::string& macro) override { macros.push_back(macro); }
    void addRecordingRow(const std::string& recording, std::uint32_t) override {
        recordings.push_back(recording);
    }
    std::int32_t nextHotKeyIdentifier() override { return ++counter_; }
    void registerHotKey(const std::string&, std::int32_t, std::uint32_t, std::uint32_t) override {}
    const TriggerOwners& triggerOwners() override { return owners_; }
    void loadOtherTriggers(const std::string&) override {}
    std::optional<std::vector<std::size_t>> chooseItems(const std::string&,
                                                        const std::vector<std::string>&) override {
        return std::nullopt;
    }
    bool progress(std::size_t, std::size_t) override { return true; }

    std::vector<std::string> macros, recordings;

private:
    MapTriggerOwners owners_;
    std::int32_t counter_ = 0;
};

}  // namespace ks::test
