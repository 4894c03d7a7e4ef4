// Holds a top-level window with the title given on the command line until
// the process is ended: the program that owns the modem, as the CLI sees it.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HWND window = CreateWindowA("STATIC", argv[1], WS_OVERLAPPED, 0, 0, 100, 50, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!window) return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
