-- SPDX-License-Identifier: ISC
-- Makes the session that scripts/ardour-mixer-shot opens in Ardour's GUI:
-- tracks that monitor their inputs, each with a meter of the bundle as its
-- first processor. Two mono tracks, "sine" and "drop", carry tolvanic
-- inline; if the bundle also holds tolvanic stereo, a track "stereo" and
-- the master bus carry that. Every track's input is left unconnected, for
-- the shot's generators.
-- Prints "track: NAME CHANNELS" per track and "done" at the end.
-- Usage: ardour7-lua ardour-mixer-session.lua SESSION_FOLDER
local folder = assert(arg and arg[1], "usage: ardour-mixer-session.lua FOLDER")
local here = debug.getinfo(1, "S").source:match("^@(.*/)") or "./"
local common = dofile(here .. "ardour-common.lua")
local INLINE_URI, STEREO_URI = common.INLINE_URI, common.STEREO_URI

-- The dummy engine is enough to make the session. The GUI opens it on JACK.
assert(common.start_dummy_engine(), "the dummy engine does not start")

local scanned = common.scanned_plugins()
assert(scanned[INLINE_URI], "tolvanic inline is not on LV2_PATH")

ARDOUR.config():set_input_auto_connect(0)
local session = assert(create_session(folder, "mixer", 48000),
                       "no new session")

local function insert_meter(route, uri)
  local _, inserted = common.insert_plugin(session, route, uri)
  assert(inserted, "cannot insert " .. uri)
end

-- Every track has two outputs, as Ardour gives a mono track by default, so
-- that the master bus gets both sides of each.
local function new_track(name, channels, uri)
  local track = session:new_audio_track(channels, 2, nil, 1, name,
    ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()
  track:input():disconnect_all(nil)
  track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput,
                                       PBD.GroupControlDisposition.NoGroup)
  insert_meter(track, uri)
  print(string.format("track: %s %d", name, channels))
  return track
end

new_track("sine", 1, INLINE_URI)
new_track("drop", 1, INLINE_URI)
if scanned[STEREO_URI] then
  new_track("stereo", 2, STEREO_URI)
  insert_meter(session:master_out(), STEREO_URI)
  print("master: " .. STEREO_URI)
end

-- The monitoring choices are applied by the engine's thread.
common.wait(0.5)
session:save_state("", false, false, false, false, false)
close_session()
print("done")
