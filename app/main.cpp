#include "CPlayerApp.h"

int main(int argc, char** argv) {
    quello::CPlayerApp::PrepareProcess();
    quello::CPlayerApp app(argc, argv);
    return app.Run();
}
