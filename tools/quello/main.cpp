// The `quello` command line: scriptable access to a camera card's movies, telemetry, GPS logs
// and settings record.
#include "CommandTable.h"

#include "cameras/SeiTelemetry.h"

#include <exception>
#include <iostream>
#include <new>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    quello::SeiTelemetry::Register();
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        const int code = quello::CommandTable().Run(args, std::cout, std::cerr);
        std::cout.flush();
        if (!std::cout) {
            std::cerr << "quello: could not write the output\n";
            return quello::kExitFailed;
        }
        return code;
    } catch (const std::bad_alloc&) {
        std::cerr << "quello: out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "quello: " << e.what() << "\n";
    }
    return quello::kExitFailed;
}
