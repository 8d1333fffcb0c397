// The application shell: process-wide settings, the start-up steps, the main loop and teardown.
// The offline modes (app/offline.h) reuse the start-up and teardown steps.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/options.h"
#include "scene/scene.h"

namespace glimmer::music {
struct Song;
}

namespace app {

// Exit codes of the show.
constexpr int kExitOk = 0;       // normal end or cancelled dialog
constexpr int kExitFailure = 1;  // window, context, extension or content failure
constexpr int kExitUsage = 2;    // bad command line

// The settings the dialog (or the command line) chooses; read by the window, the viewport, the
// loading bar and the renderer.
extern int screenWidth;   // 640 until chosen
extern int screenHeight;  // 480 until chosen
extern bool fullScreen;

// The loaded music (null when it could not be loaded) and whether its output thread runs.
extern glimmer::music::Song* song;
extern bool musicStarted;

// Frames presented so far by the loading bar and by the main loop.
extern int64_t loadingBarFrames;
extern int64_t showFrames;

// Creates the entity object of a scene-data category: textures and meshes from their builders,
// lights, scenes and particle systems from the renderer.
glimmer::SceneEntity* createEntity(glimmer::Category category);

// The 128 x 128 texture that receives frame copies; created once the context is current.
void createFrameCopyTexture();
void destroyFrameCopyTexture();

// Bytes of a data resource: the file named on the command line when there is one (read once
// and kept for the whole run), otherwise the embedded resource. False with a one-line reason
// when the file cannot be read.
bool resourceBytes(int id, const std::string& file, std::span<const uint8_t>& bytes,
                   std::string& failure);

// Reads every file named by --scene, --pack and --music, so that a wrong name fails before any
// window opens. False with a one-line reason.
bool readResourceFiles(const Options& options, std::string& failure);

// Start-up steps 3 to 6: full-screen request, the show window, the OpenGL context. On failure
// returns false with one line naming what failed (the program then ends with kExitFailure).
bool openShowWindow(std::string& failure);

// Start-up steps 7 to 11: the mesh pack, the registry, the timeline, the scene data and the
// precalculation pass (drawing the loading bar when drawBar). False with one line on a content
// error.
bool loadContent(const Options& options, bool drawBar, std::string& failure);

// Start-up steps 12 to 15: the file callbacks over the MusicModule bytes, the song, 20 ms,
// playback on the sound device. A song that does not load is reported on stderr and the show
// runs in silence.
void startMusic(const Options& options);

// Teardown: context, timeline, registry, display mode, window, video services.
void closeShow();

// The whole life of the show for RunMode::Show: dialog, start-up, main loop, teardown.
// Returns the exit code.
int runShow(const Options& options);

// Entry point for a parsed command line (any mode); returns the exit code.
int runGlimmer(const std::vector<std::string>& args);

}  // namespace app
