# Which face the icon shows, read from the screen. Sourced by the end-to-end scripts after
# lib.sh; call picture_rect once the tray shows the icon.

# The icon's 16 x 16 picture inside its tray cell.
PICTURE=
picture_rect() {
  local x y w h
  read -r x y w h < <(e2e_tray_icon_rect 0) || return 1
  PICTURE="16x16+$((x + 2))+$((y + 2))"
}

# face: prints "<face> red=<n> green=<n> white=<n> black=<n>" for the picture now on screen,
# counting only the face's disc (the tray's white background shows in the corners).
# <face> is red (not connected: red disc, no green), smile (connected: green, black eyes, no
# white) or wide (activity: green with white eyes), else other.
face() {
  import -window root -crop "$PICTURE" +repage -depth 8 rgb:- | od -An -v -tu1 -w3 | awk '
    { i = NR - 1; dx = i % 16 + 0.5 - 8; dy = int(i / 16) + 0.5 - 8 }
    dx * dx + dy * dy >= 49 { next }
    $1 == 255 && $2 == 0 && $3 == 0 { red++ }
    $1 == 0 && $2 == 255 && $3 == 0 { green++ }
    $1 == 255 && $2 == 255 && $3 == 255 { white++ }
    $1 == 0 && $2 == 0 && $3 == 0 { black++ }
    END {
      face = "other"
      if (red >= 100 && green == 0 && white == 0 && black >= 8) face = "red"
      else if (green >= 80 && red == 0 && white == 0 && black >= 8) face = "smile"
      else if (green >= 80 && red == 0 && white >= 8) face = "wide"
      printf "%s red=%d green=%d white=%d black=%d\n", face, red, green, white, black
    }'
}

# face_is PATTERN: true when the face now shown matches PATTERN (e.g. smile, or smile|wide).
FACE=
face_is() {
  FACE=$(face)
  [[ ${FACE%% *} =~ ^($1)$ ]]
}
