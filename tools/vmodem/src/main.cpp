#include <exception>
#include <iostream>

#include "app.h"
#include "options.h"
#include "ready_file.h"

int main(int argc, char** argv) {
    std::string error;
    std::optional<Options> options = parse_options(argc, argv, error);
    if (!options) {
        std::cerr << "vmodem: " << error << "\n" << kUsage;
        return 2;
    }
    try {
        App app(*options);
        ReadyFile ready(options->ready_file, app.control_port());
        app.run();
    } catch (const std::exception& e) {
        std::cerr << "vmodem: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
