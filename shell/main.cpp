#include "shell/vazu_main.h"

int main() {
    return vazu_main();
}
