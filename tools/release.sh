#!/usr/bin/env bash
# Builds the release archives from this tree:
#   dist/glimmer-VERSION-linux-x86_64.tar.gz  the show, glimmerc and README.md
#   dist/glimmer-VERSION-windows.zip          glimmer-x86.exe, glimmer-x64.exe and glimmer.txt
# VERSION is the project version in CMakeLists.txt. The Linux programs come from build/host and
# the Windows ones from tools/windows.sh, which builds both.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(glimmer VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no project version in CMakeLists.txt" >&2; exit 1; }
bash tools/windows.sh
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

linux=glimmer-$version-linux-x86_64
mkdir -p "$stage/$linux"
install -m 755 -s build/host/app/glimmer build/host/tools/glimmerc "$stage/$linux/"
cp README.md "$stage/$linux/"
tar -C "$stage" --owner=0 --group=0 -czf "dist/$linux.tar.gz" "$linux"

windows=glimmer-$version-windows
mkdir -p "$stage/$windows"
cp dist/glimmer-x86.exe dist/glimmer-x64.exe "$stage/$windows/"
sed 's/$/\r/' >"$stage/$windows/glimmer.txt" <<TEXT
glimmer $version
================

A real-time audiovisual show: 178 seconds of procedural textures, meshes, particles and
lights, with music synthesised as it plays. Everything is built at start-up from data inside
the executable; nothing is installed and nothing is written.

Files
  glimmer-x64.exe   64-bit Windows
  glimmer-x86.exe   32-bit Windows

Requirements
  Windows with OpenGL 1.1 and the extensions GL_ARB_multitexture, GL_ARB_texture_cube_map,
  GL_ARB_vertex_buffer_object and GL_EXT_separate_specular_color (GLSL shaders are used
  when the driver has them), 32-bit colour, a sound device (without one the show runs silent).

Running
  Start the executable, choose a resolution and whether to run full screen, then Run.
  Exit leaves without starting.

Keys
  Escape   ends the show

For authors (command prompt)
  --no-dialog, --resolution WxH, --fullscreen, --until SECONDS,
  --frame SECONDS --out FILE.png, --capture FOLDER, --bench; --help lists them all.

Credits
  Code, graphics, scene and music: the glimmer authors.
  PNG output: stb_image_write by Sean Barrett (public domain).
  Built with the mingw-w64 GCC toolchain.
TEXT
rm -f "dist/$windows.zip"
(cd "$stage" && zip -q -r -X "$OLDPWD/dist/$windows.zip" "$windows")
ls -l "dist/$linux.tar.gz" "dist/$windows.zip"
