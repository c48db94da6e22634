// Process entry of verda-pdf; the application shell does the work.
#include "app/ui/ApplicationMain.h"

int main(int argc, char** argv) {
    return quillet::runApplication(argc, argv);
}
