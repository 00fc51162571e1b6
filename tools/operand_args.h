// The command line of a generator that takes its output folder or file as
// operands: --help (or -h) prints the usage on standard output; an unknown
// switch or a wrong number of operands gets one line on standard error
// naming the problem. "--" ends the switches, for an operand that starts
// with '-'.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

// -1 to go on, with from `fewest` to `most` operands in `operands`; else the
// exit status (0 after --help, 2 for wrong use). `operandNames` names them in
// the complaint.
inline int ReadOperands(const char* program, const char* usage, const char* operandNames, std::size_t fewest,
                        std::size_t most, int argc, char** argv, std::vector<std::string>& operands) {
    operands.clear();
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
            operands.push_back(arg);
        }
    }
    if (operands.size() >= fewest && operands.size() <= most) return -1;
    const char* problem = operands.size() < fewest ? "missing the" : "too many operands; it takes the";
    std::fprintf(stderr, "%s: %s %s (see %s --help)\n", program, problem, operandNames, program);
    return 2;
}

// The same for exactly one operand.
inline int ReadOneOperand(const char* program, const char* usage, const char* operandName, int argc, char** argv,
                          std::string& operand) {
    std::vector<std::string> operands;
    const int status = ReadOperands(program, usage, operandName, 1, 1, argc, argv, operands);
    if (status < 0) operand = operands[0];
    return status;
}
