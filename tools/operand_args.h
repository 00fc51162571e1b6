// The command line of a generator that takes one operand, its output folder
// or file: --help (or -h) prints the usage on standard output; an unknown
// switch or a wrong number of operands gets one line on standard error
// naming the problem. "--" ends the switches, for an operand that starts
// with '-'.
#pragma once
#include <cstdio>
#include <string>

// -1 to go on, with the operand in `operand`; else the exit status (0 after
// --help, 2 for wrong use).
inline int ReadOneOperand(const char* program, const char* usage, const char* operandName, int argc, char** argv,
                          std::string& operand) {
    int operands = 0;
    bool switchesEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!switchesEnded && (arg == "--help" || arg == "-h")) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (!switchesEnded && arg == "--") {
            switchesEnded = true;
        } else if (!switchesEnded && arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "%s: unknown switch %s (see %s --help)\n", program, arg.c_str(), program);
            return 2;
        } else {
            operand = arg;
            ++operands;
        }
    }
    if (operands == 1) return -1;
    std::fprintf(stderr, "%s: %s %s (see %s --help)\n", program, operands == 0 ? "missing the" : "one only:", operandName,
                 program);
    return 2;
}
