// The viewer's newer actions and console commands: screenshots, pausing and stepping the
// animations, going back to the framed view, showing one model, choosing an animation by name.
#include "viewer/viewerapp.h"

#include "console/console.h"
#include "model/modelq3.h"

#include <algorithm>
#include <string>

namespace
{
// Ids of the viewer's console commands.
enum
{
    VIEWER_CMD_MODEL = 200,
    VIEWER_CMD_SCREENSHOT = 201,
    VIEWER_CMD_ANIM = 202
};

// The first word of argument 0, or "" when the line has none.
std::string FirstWord(const ConArgs* args)
{
    const char* text = args ? args->Arg(0) : nullptr;
    if (!text)
        return "";
    std::string word(text);
    const size_t end = word.find_first_of(" \t");
    return end == std::string::npos ? word : word.substr(0, end);
}

// Only a loaded player in the player view has animations to stop or step.
cModelQ3* Animated(ViewerApp& viewer)
{
    cModelQ3* player = viewer.CurrentModel();
    return player && player->IsLoaded() && !viewer.SoloRoot() && !viewer.weaponOnly ? player : nullptr;
}
} // namespace

void ViewerApp::RegisterTools()
{
    gConsole.RegisterAction("screenshot", Bound(&ViewerApp::ShotAction));
    gConsole.RegisterAction("pause", Bound(&ViewerApp::TogglePause));
    gConsole.RegisterAction("stepnext", Bound(&ViewerApp::StepNext));
    gConsole.RegisterAction("stepprev", Bound(&ViewerApp::StepPrev));
    gConsole.RegisterAction("resetcam", Bound(&ViewerApp::ResetCamera));
    gConsole.RegisterCommand("model", VIEWER_CMD_MODEL, this);
    gConsole.RegisterCommand("screenshot", VIEWER_CMD_SCREENSHOT, this);
    gConsole.RegisterCommand("anim", VIEWER_CMD_ANIM, this);
    std::weak_ptr<ViewerApp*> target = self;
    gConsole.SetArgCompleter("model",
                             [target](const char* typed, size_t limit, std::vector<std::string>& out)
                             {
                                 if (std::shared_ptr<ViewerApp*> viewer = target.lock())
                                     (*viewer)->CompleteModelPath(typed, limit, out);
                             });
}

void ViewerApp::ShotAction() { RequestScreenshot("", false); }

bool ViewerApp::OnCommand(int id, ConArgs* args)
{
    const std::string word = FirstWord(args);
    switch (id)
    {
    case VIEWER_CMD_MODEL:
        ShowModel(TypedModelPath(word));
        return true;
    case VIEWER_CMD_SCREENSHOT:
        RequestScreenshot(word, false);
        return true;
    case VIEWER_CMD_ANIM:
    {
        // The console types "-" where the names have "_".
        std::string name = word;
        std::replace(name.begin(), name.end(), '-', '_');
        cModelQ3* player = CurrentModel();
        if (name.empty() || cModelQ3::FindAnimation(name.c_str()) < 0)
            gConsole.Print(
                "anim <name>: a name of animation.cfg, such as BOTH_DEATH1, TORSO_ATTACK, LEGS_RUN");
        else if (player && player->IsLoaded())
            player->SetAnimationByName(name.c_str());
        return true;
    }
    default:
        return App::OnCommand(id, args);
    }
}

void ViewerApp::TogglePause()
{
    if (cModelQ3* player = Animated(*this))
        player->SetPaused(!player->IsPaused());
}

void ViewerApp::StepNext()
{
    cModelQ3* player = Animated(*this);
    if (player && player->IsPaused())
        player->StepFrame(1);
}

void ViewerApp::StepPrev()
{
    cModelQ3* player = Animated(*this);
    if (player && player->IsPaused())
        player->StepFrame(-1);
}
