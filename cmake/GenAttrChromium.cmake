# Chromium, headless, for the tests of the HTML view and the example's
# screenshot. Each run gets its own profile (--user-data-dir, added by the
# caller) and no network: background services are off and every request would
# go to a proxy on the discard port, where nothing answers.
find_program(GENATTR_CHROMIUM NAMES chromium chromium-browser
  DOC "Chromium, to run the HTML view in the tests")
set(GENATTR_CHROMIUM_FLAGS
  --headless --no-sandbox --disable-gpu --disable-quic --no-first-run
  --disable-background-networking --disable-component-update --disable-sync
  --disable-default-apps --disable-extensions --mute-audio
  --proxy-server=127.0.0.1:9)
