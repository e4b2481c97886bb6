#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/Messages.h"
#include "expand/Expander.h"
#include "expand/VariableTable.h"
#include "platform/SystemValues.h"

namespace ks {

class SettingsStore;

// Reads one environment variable by its exact name; nothing when it is unset.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The process's own environment.
std::optional<std::string> processEnvironment(const std::string& name);

// Expands command arguments: [name] is a system value or a text variable,
// {name} an environment variable, @n@ the character with code n (0 to 255),
// the accent mark ` takes the next character literally, ~ is a line break,
// and a text that begins with ( is then evaluated as integer arithmetic.
// With the switch off, texts pass through unchanged.
class ExpansionEngine final : public Expander {
public:
    ExpansionEngine(Messages& messages, SystemValues& system, VariableTable& variables,
                    EnvironmentLookup environment = processEnvironment);

    // The switch as the ExpansionOn option sets it: on only when it is exactly 1.
    static bool readSwitch(SettingsStore& store);
    void loadOption(SettingsStore& store) { setEnabled(readSwitch(store)); }
    void setEnabled(bool on) { enabled_ = on; }
    bool enabled() const { return enabled_; }

    void Expand(std::string& text) override;
    // A system value by name first, then a text variable; when neither
    // exists, says so and gives the empty text.
    std::string LookupValue(std::string_view name);
    std::int32_t EvaluateExpression(std::string_view text, bool& error);

private:
    struct Reference {
        std::string value;
        std::size_t end = 0;  // just past the closing symbol
    };

    std::optional<std::string> expanded(std::string_view text);
    std::optional<Reference> collectReference(std::string_view text, std::size_t open);
    std::string resolved(char close, const std::string& name);
    std::string environmentValue(const std::string& name);
    std::string characterValue(const std::string& code);
    std::optional<std::string> systemValue(std::string_view upperName);

    Messages& messages_;
    SystemValues& system_;
    VariableTable& variables_;
    EnvironmentLookup environment_;
    bool enabled_ = false;
};

}  // namespace ks
