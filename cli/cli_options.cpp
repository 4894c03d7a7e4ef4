#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include "cli/cli_run.h"

namespace {

// The longest settling pause taken: a minute.
constexpr int kSettleLimit = 60000;
// The longest wait for a lock: an hour, longer than any fax.
constexpr int kWaitLimit = 3600;

struct CommandEntry {
    CliCommand command;
    const char* name;
    const char* description;
};

const CommandEntry kCommands[] = {
    {CliCommand::List, "list", "Print the country table: each country's code and name"},
    {CliCommand::Detect, "detect", "Probe the serial ports and print what each one holds"},
    {CliCommand::Query, "query", "Print the country the modem is set up for"},
    {CliCommand::Supported, "supported", "Print the countries the modem supports"},
    {CliCommand::Set, "set", "Write COUNTRY into the modem, unless it has it already"},
    {CliCommand::Check, "check",
     "Read the modem's country, writing nothing: exit 0 when it is COUNTRY, 1 when not"},
};

// What the words of the help name, and the exit status.
std::string Footer(const CliSyntax& syntax) {
    return std::string("PORT is ") + syntax.portNames +
           ".\n"
           "COUNTRY is a name from the table (letter case ignored) or its code.\n"
           "Exit status: 0 done; 1 no modem, or not the country; 2 bad usage or input;\n"
           "3 the port is in use; 4 no permission to open the port.";
}

// A text that may not be empty: a file, a country.
CLI::Validator Given(const std::string& what) {
    return CLI::Validator(
        [what](std::string& text) {
            return text.empty() ? "needs " + what + ", not an empty text" : std::string();
        },
        "", "given");
}

// A whole number in decimal digits alone: the library's own reading takes
// "010" for octal and "0x10" for hexadecimal.
const CLI::Validator kDecimal(
    [](std::string& text) {
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
            return "'" + text + "' is no whole number";
        text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
        return std::string();
    },
    "", "decimal");

const CLI::Validator kDialect(
    [](std::string& text) {
        Dialect dialect;
        return ParseDialect(text.c_str(), dialect) ? std::string() : "needs auto, t19 or gci, not '" + text + "'";
    },
    "", "dialect");

// Each port as the platform names it.
CLI::Validator PortName(PortNameCheck check) {
    return CLI::Validator(
        [check](std::string& text) {
            std::string error;
            const std::string port = check(text, error);
            if (port.empty()) return error;
            text = port;
            return std::string();
        },
        "", "port");
}

// The options of a command that talks to a modem; only those that work on
// one modem take --port.
void AddTalkOptions(CLI::App& command, const CliSyntax& syntax, CliOptions& options, bool onePort) {
    if (onePort)
        command.add_option("--port", options.port, "The modem's port")
            ->type_name("PORT")
            ->transform(PortName(syntax.checkPort));
    // One list an occurrence, so that the words after it stay the command's.
    command.add_option("--ports", options.ports, "Probe these ports, in this order, instead of the system's")
        ->type_name("PORT,...")
        ->delimiter(',')
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->transform(PortName(syntax.checkPort));
    command
        .add_option_function<std::string>(
            "--dialect", [&options](const std::string& name) { ParseDialect(name.c_str(), options.dialect); },
            "Talk in this dialect: ask each modem (auto), the card's (t19), +GCI (gci)")
        ->type_name("auto|t19|gci")
        ->check(kDialect);
    command.add_flag("--paced", options.paced, "Keep the Korvane window's pace, every wait waited out");
    command
        .add_option("--settle", options.settleMs, "Wait at most MS for the modem after the open (default 1000)")
        ->type_name("MS")
        ->transform(kDecimal)
        ->check(CLI::Range(0, kSettleLimit));
    command.add_option("--wait", options.waitSeconds, "Wait up to SECONDS for another program's lock to go")
        ->type_name("SECONDS")
        ->transform(kDecimal)
        ->check(CLI::Range(0, kWaitLimit));
    command.add_flag("--json", options.json, "Print the result, or the failure, as one line of JSON");
}

void AddCommand(CLI::App& app, const CommandEntry& entry, const CliSyntax& syntax, CliOptions& options) {
    CLI::App& command = *app.add_subcommand(entry.name, entry.description);
    command.footer(Footer(syntax));
    command.parse_complete_callback([&options, &entry] { options.command = entry.command; });
    if (entry.command == CliCommand::Set || entry.command == CliCommand::Check)
        command.add_option("COUNTRY", options.country, "A name from the table or its code")
            ->required()
            ->check(Given("a name from the table or its code"));
    command.add_option("--table", options.table, "Read the country table from FILE")
        ->type_name("FILE")
        ->check(Given("a file"));
    command.add_flag("--verbose", options.verbose, "Also say which table was read and what the port could not do");
    if (entry.command == CliCommand::Set)
        command.add_flag("--force", options.force, "Write the country even where the modem has it already");
    if (entry.command != CliCommand::List)
        AddTalkOptions(command, syntax, options, entry.command != CliCommand::Detect);
}

}  // namespace

bool ParseCliOptions(int argc, char** argv, const CliSyntax& syntax, CliOptions& options, int& exit) {
    CLI::App app("Find a fax modem, read its country and set a new one.", "korvane-cli");
    app.set_version_flag("--version", std::string("korvane-cli ") + syntax.version);
    app.require_subcommand(1);
    app.footer(Footer(syntax));
    for (const CommandEntry& entry : kCommands) AddCommand(app, entry, syntax, options);
    try {
        app.parse(argc, argv);
        return true;
    } catch (const CLI::ParseError& e) {
        // --help and --version end the parse with success, and print on standard output.
        exit = e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)
                   ? app.exit(e)
                   : CliUsageFailure(argc, argv, e.what());
        return false;
    }
}
