// The loading progress bar: immediate-mode lines and one shaded quad in a virtual 400 x 300
// frame, so it looks the same at every resolution.
#include "app/loading_bar.h"

#include "app/shell.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "render/render.h"
#include "scene/scene.h"

namespace app {

LoadingBarGeometry loadingBarGeometry(int32_t width, int32_t height, int32_t percent) {
  const float sx = static_cast<float>(width) / 400.0f;
  const float sy = static_cast<float>(height) / 300.0f;
  LoadingBarGeometry g;
  g.length = glimmer::toInt(static_cast<float>(static_cast<double>(percent) * 3.17 * sx));
  const float len = static_cast<float>(g.length);
  auto at = [](float x, float y) { return BarPoint{glimmer::toInt(x), glimmer::toInt(y)}; };
  g.outline = {at(40.0f * sx, 80.0f * sy), at(360.0f * sx, 80.0f * sy), at(370.0f * sx, 90.0f * sy),
               at(50.0f * sx, 90.0f * sy)};
  g.fill = {at(43.0f * sx, 82.0f * sy), at(43.0f * sx + len, 82.0f * sy),
            at(50.0f * sx + len, 89.0f * sy), at(50.0f * sx, 89.0f * sy)};
  return g;
}

void paintLoadingBar(int32_t width, int32_t height, int32_t percent) {
  const LoadingBarGeometry g = loadingBarGeometry(width, height, percent);

  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  render::selectTextureUnits(false, false);
  if (glext::shadersAvailable) glext::glUseProgramObjectARB(0);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);

  glColor3ub(100, 80, 60);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  glBegin(GL_LINE_LOOP);
  for (const BarPoint& p : g.outline) glVertex2i(p.x, p.y);
  glEnd();

  glBegin(GL_QUADS);
  glColor3ub(40, 40, 40);
  glVertex2i(g.fill[0].x, g.fill[0].y);
  glVertex2i(g.fill[1].x, g.fill[1].y);
  glColor3ub(255, 150, 100);
  glVertex2i(g.fill[2].x, g.fill[2].y);
  glVertex2i(g.fill[3].x, g.fill[3].y);
  glEnd();

  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}

void drawLoadingBar(int32_t percent) {
  paintLoadingBar(screenWidth, screenHeight, percent);
  glFlush();
  platform::swapBuffers();
  ++loadingBarFrames;
}

}  // namespace app
