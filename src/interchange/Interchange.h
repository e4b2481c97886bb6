#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "triggers/TriggerOwners.h"
#include "xml/XmlDocument.h"

namespace ks {

class Messages;
class SettingsStore;

// What an import asks of the running program besides its triggers: the
// lists it adds rows to, the choice of items and the progress. GUI thread only.
class ImportSite {
public:
    ImportSite() = default;
    ImportSite(const ImportSite&) = delete;
    ImportSite& operator=(const ImportSite&) = delete;
    virtual ~ImportSite() = default;

    virtual std::vector<std::string> macroRows() = 0;
    virtual std::vector<std::string> recordingRows() = 0;
    virtual void addMacroRow(const std::string& macro) = 0;
    virtual void addRecordingRow(const std::string& recording, std::uint32_t type) = 0;

    // The list dialog of an interactive import: the positions of the items
    // the user keeps, or nothing when the dialog was not ended with OK.
    virtual std::optional<std::vector<std::size_t>> chooseItems(
        const std::string& title, const std::vector<std::string>& names) = 0;
    // `done` of `total` items are through; false when the user cancelled.
    virtual bool progress(std::size_t done, std::size_t total) = 0;
};

enum class ImportOutcome { Failed = 0, Done = 1, Cancelled = 2 };

// Where an export goes: a file, or a peer's request server.
struct ExportTarget {
    std::string path;
    std::string host;
    std::string port;
    bool remote() const { return !host.empty(); }
    static ExportTarget file(std::string path) { return {std::move(path), {}, {}}; }
    static ExportTarget peer(std::string host, std::string port) {
        return {{}, std::move(host), std::move(port)};
    }
};

// Sends a document to a peer and gives the reply's text; nothing when the
// request failed (the sender has shown why).
using PeerSender = std::function<std::optional<std::string>(
    const std::string& host, const std::string& port, const std::string& body)>;

enum class ExportKind { Macros, Recordings };

struct ExportServices {
    SettingsStore& store;
    Messages& messages;
    PeerSender sendToPeer;
    // `done` of `total` items are through; false when the user cancelled.
    std::function<bool(std::size_t done, std::size_t total)> progress;
};

// Writes the named macros or recordings, in order, to the target: a new
// file, an existing one overwritten or appended to as the user answers, or
// a peer. False after a failure has been shown, or when cancelled.
bool ExportItems(ExportServices& services, ExportKind kind, const std::vector<std::string>& names,
                 const ExportTarget& target);

// The element an export writes for one macro, read from the store.
XmlElement macroElement(SettingsStore& store, const std::string& name);

// Reads the document a user names; shows "File not found." or the load error.
std::optional<XmlDocument> loadDocument(const std::string& path, Messages& messages);

// An interactive import (from a file the user chose) first lets the user
// choose the items and warns of every name it changes and every value it
// drops; a silent one (a document a peer posted) asks and warns of nothing.
// Both show errors.
enum class ImportMode { Interactive, Silent };

// Imports the document's macros or recordings. Each item is written as one
// change: a failure leaves nothing of it in the store. A macro's triggers are
// checked with, and its stored ones entered in, `triggers`.
ImportOutcome importMacros(SettingsStore& store, ImportSite& site, MacroTriggerIntake& triggers,
                           const XmlDocument& document, ImportMode mode);
ImportOutcome importRecordings(SettingsStore& store, ImportSite& site, const XmlDocument& document,
                               ImportMode mode);

}  // namespace ks
