// The program itself, as its own entry point runs it, for the start-up benchmark.
#include "TestApp.h"

int main(int argc, char** argv) {
    CTestApp app;
    return app.Run(argc, argv);
}
