#include "reply_shaper.h"

std::vector<Emission> shape_reply(const CommandResult& result, const ModemSettings& s) {
    if (s.silent) return {};

    const std::string eol = s.cronly ? "\r" : "\r\n";
    std::string text;
    for (const std::string& line : result.info) text += eol + line + eol;
    if (!s.quiet) text += eol + (result.ok ? s.okword : std::string("ERROR")) + eol;
    if (text.empty()) return {};
    text.insert(0, s.junk);

    const std::size_t piece = s.split ? s.split : text.size();
    std::vector<Emission> writes;
    std::uint32_t delay = s.delay_ms;
    for (std::size_t at = 0; at < text.size(); at += piece, delay += s.gap_ms)
        writes.push_back({Emission::Kind::Reply, delay, at ? s.gap_ms : 0, text.substr(at, piece)});
    return writes;
}
