// The command line shared by the pack tools: `build <pack> <folder>
// [--append]`, `list <pack>` and `extract <pack> <name> <out>`. Each tool
// supplies its three actions, its report of wrong use and the operand
// wording of its own usage text.
#pragma once
#include <string>
#include <vector>

struct PackCommands {
    int (*build)(const std::string& pack, const std::string& folder, bool append);
    int (*list)(const std::string& pack);
    int (*extract)(const std::string& pack, const std::string& name, const std::string& out);
    int (*misused)(const std::string& problem);  // one line naming the problem; returns the exit status
    const char* buildOperands;    // e.g. "<pack> <folder>"
    const char* listOperands;
    const char* extractOperands;
};

// Runs the command of `args` (the arguments after the program name, not
// empty and not a request for help).
inline int RunPackCommand(const std::vector<std::string>& args, const PackCommands& tool) {
    bool append = false;
    std::vector<std::string> operands;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[0] == "build" && args[i] == "--append")
            append = true;
        else if (args[i].size() > 1 && args[i][0] == '-')
            return tool.misused("unknown switch " + args[i]);
        else
            operands.push_back(args[i]);
    }
    const std::string& command = args[0];
    const auto takes = [&](const char* operandsText) {
        return tool.misused(command + " takes " + operandsText);
    };
    if (command == "build") {
        if (operands.size() != 2) return takes(tool.buildOperands);
        return tool.build(operands[0], operands[1], append);
    }
    if (command == "list") {
        if (operands.size() != 1) return takes(tool.listOperands);
        return tool.list(operands[0]);
    }
    if (command == "extract") {
        if (operands.size() != 3) return takes(tool.extractOperands);
        return tool.extract(operands[0], operands[1], operands[2]);
    }
    return tool.misused((command[0] == '-' ? "unknown switch " : "unknown command ") + command);
}
