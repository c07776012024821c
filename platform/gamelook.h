// Whether models are drawn the way real game data means them (every shader script, the shader
// features real models use, skins and animations as the game plays them) rather than by the
// plain rules alone. Off unless the viewer's settings turn it on (the app.cfg key "gamelook").
#pragma once

extern bool gGameLook;
