#include "modem_engine.h"

#include "at_command_executor.h"
#include "reply_shaper.h"

std::vector<Emission> ModemEngine::feed(std::string_view input) {
    std::vector<Emission> out;
    std::string echo;
    auto flush_echo = [&] {
        if (!echo.empty()) out.push_back({Emission::Kind::Echo, 0, 0, std::move(echo)});
        echo.clear();
    };

    for (char c : input) {
        // Echo uses the setting in force when the byte arrives, so the CR of
        // "ATE0" is still echoed.
        if (settings_.echo) echo.push_back(c);
        std::optional<CommandLineReader::Line> line = reader_.push(c);
        if (!line) continue;
        flush_echo();
        CommandResult result =
            line->overflow ? CommandResult{{}, false} : execute_command_line(line->body, settings_);
        for (Emission& e : shape_reply(result, settings_)) out.push_back(std::move(e));
    }
    flush_echo();
    return out;
}

std::string ModemEngine::ring() const { return settings_.silent ? "" : result_code(settings_, "RING", 2); }
