# Sourced.
#   xvfb_start <first display number> <width>x<height>x<depth>
#     Starts an Xvfb screen on the first free display number from the given one on and waits until
#     it takes connections; sets xvfb_number and xvfb_pid.
#   xvfb_read_text <screenshot.png> [<scale>]
#     Prints the text OCR reads on a screenshot (imagemagick and tesseract), enlarged to <scale>
#     per cent first (200 unless given).
xvfb_start() {
  local number i
  for number in $(seq "$1" $(($1 + 99))); do
    [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] || break
  done
  Xvfb ":$number" -screen 0 "$2" -nolisten tcp </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  xvfb_number=$number
  for i in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$number" ] && break
    sleep 0.1
  done
}

xvfb_read_text() {
  local shot
  shot=$(mktemp --suffix=.png)
  # Upscaled and grey: OCR reads small text that way; once more negated for light-on-dark text.
  convert "$1" -resize "${2:-200}%" -colorspace Gray -normalize "$shot"
  tesseract "$shot" - 2>/dev/null
  convert "$shot" -negate "$shot"
  tesseract "$shot" - 2>/dev/null
  rm -f "$shot"
}
