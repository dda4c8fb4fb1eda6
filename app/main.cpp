// veltrin-test: the program's entry point.
#include "TestApp.h"

int main(int argc, char** argv) {
    CTestApp app;
    return app.Run(argc, argv);
}
