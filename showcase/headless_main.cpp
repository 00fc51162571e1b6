// krshowcase-headless: the showcase on the headless backend through the
// script driver, in virtual time; writes the back screen after the last
// frame and, on request, everything it played as a WAV file. Prints the
// scene it ended in.
//
//   krshowcase-headless --frames N [--scene NAME] [--input FILE]
//                       [--screenshot FILE] [--audio FILE]
#include <cstdio>
#include <string>

#include "driver/script_driver.h"
#include "showcase/showcase.h"

namespace {

std::string startScene;

std::string SceneList() {
    std::string text = "scenes:";
    for (const ShowcaseScene& s : ShowcaseScenes()) text += std::string(" ") + s.name;
    return text + "\n";
}

std::string ChooseScene() {
    if (startScene.empty()) return "";
    const int index = FindShowcaseScene(startScene);
    if (index < 0) return "unknown scene '" + startScene + "'";
    SetShowcaseStartScene(index);
    return "";
}

void PrintLastScene(long framesDone) {
    const int last = CurrentShowcaseScene();
    std::printf("scene %s after %ld frames\n", last >= 0 ? ShowcaseScenes()[last].name : "-", framesDone);
}

}  // namespace

int main(int argc, char** argv) {
    krScriptDriver::Program program;
    program.name = "krshowcase-headless";
    program.steps = krGameSteps{&ShowcaseStartup, &ShowcaseFrame, kShowcaseTitle};
    program.switches = {{"--scene", "NAME", "the scene to start in (see below)", [](const std::string& value) {
                             startScene = value;
                             return std::string();
                         }}};
    program.usageNotes = SceneList();
    program.prepare = &ChooseScene;
    program.finish = &PrintLastScene;
    return krScriptDriver::Run(program, argc, argv);
}
