# Packages shared by the run and test commands.
build_packages=(build-essential cmake qtbase5-dev qtscript5-dev libkf5syntaxhighlighting-dev fonts-dejavu-core ffmpeg)
test_packages=(xvfb xauth openbox xdotool wmctrl x11-utils imagemagick util-linux parallel)
