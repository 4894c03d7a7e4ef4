#include "reply_shaper.h"

std::string result_code(const ModemSettings& s, const std::string& word, int number) {
    const std::string eol = s.cronly ? "\r" : "\r\n";
    if (s.quiet) return "";
    return s.verbose ? eol + word + eol : std::to_string(number) + "\r";
}

std::vector<Emission> shape_reply(const CommandResult& result, const ModemSettings& s) {
    if (s.silent) return {};

    // Information text has a header in words only: "\r\nTEXT\r\n", "TEXT\r\n".
    const std::string eol = s.cronly ? "\r" : "\r\n";
    std::string text;
    for (const std::string& line : result.info) text += (s.verbose ? eol : "") + line + eol;
    text += result.ok ? result_code(s, s.okword, 0) : result_code(s, "ERROR", 4);
    if (text.empty()) return {};
    text.insert(0, s.junk);

    const std::size_t piece = s.split ? s.split : text.size();
    std::vector<Emission> writes;
    std::uint32_t delay = s.delay_ms;
    for (std::size_t at = 0; at < text.size(); at += piece, delay += s.gap_ms)
        writes.push_back({Emission::Kind::Reply, delay, at ? s.gap_ms : 0, text.substr(at, piece)});
    return writes;
}
