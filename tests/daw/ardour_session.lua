-- SPDX-License-Identifier: ISC
-- Drives Ardour headless (ardour7-lua) through what a user does with the
-- meter: scan, insert on a mono track fed a DC of 0.5 (-6.02 dBFS), read the
-- meter, reset the peak hold, save, close and reload the session. Prints
-- "ok:" for each promise kept, "FAIL:" for each broken, then "done".
-- Usage: ardour7-lua ardour_session.lua SESSION_FOLDER
local folder = assert(arg and arg[1], "usage: ardour_session.lua FOLDER")
local here = debug.getinfo(1, "S").source:match("^@(.*/)") or "./"
local common = dofile(here .. "../../scripts/ardour-common.lua")
local check, near, wait = common.check, common.near, common.wait
local within_step_of_half, DC_DB = common.within_step_of_half, common.DC_DB
local URI, INLINE_URI = common.URI, common.INLINE_URI

check(common.start_dummy_engine(common.DC_DEVICE),
      "the dummy engine runs at 48 kHz in blocks of 256")

local scanned = common.scanned_plugins()
for _, uri in ipairs({ URI, INLINE_URI }) do
  local info = scanned[uri]
  check(info ~= nil and info.category == "Analyser Plugin" and
        info.creator ~= "" and info.creator ~= "Unknown",
        string.format("scanned %s: name '%s', category '%s', creator '%s'",
                      uri, info and info.name or "-",
                      info and info.category or "-",
                      info and info.creator or "-"))
end

-- New tracks take the inputs given here only: Ardour would otherwise connect
-- each new track to the next physical input too, at a moment of its own.
ARDOUR.config():set_input_auto_connect(0)
local session = create_session(folder, "meter", 48000)
check(session ~= nil, "a new session")

-- A mono track monitoring its input, system:capture_1, which carries the
-- dummy backend's DC of 0.5.
local function new_track(name)
  local track = session:new_audio_track(1, 1, nil, 1, name,
    ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()
  track:input():disconnect_all(nil)
  track:input():audio(0):connect("system:capture_1")
  track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput,
                                       PBD.GroupControlDisposition.NoGroup)
  return track
end
local function track_db(track)
  return track:peak_meter():meter_level(0, ARDOUR.MeterType.MeterPeak)
end
-- Parameter n of the plug-in: 0 reset, 1 level, 2 peak hold, 3 RMS.
local function reading(processor, n)
  return ARDOUR.LuaAPI.get_processor_param(processor, n, false)
end
local function insert(track, uri)
  local processor, inserted = common.insert_plugin(session, track, uri)
  check(inserted, "inserted " .. uri)
  return processor
end

-- Both plug-ins, each on a track of its own: the track meter before and
-- after the insertion. Only the inline variant passes the audio on.
local tracks = {}
for _, uri in ipairs({ INLINE_URI, URI }) do
  local track = new_track(uri == URI and "tap" or "inline")
  wait(0.5)
  local before = track_db(track)
  local processor = insert(track, uri)
  wait(1)
  local after = track_db(track)
  print(string.format("seen: %s, track meter %.2f dBFS before, %.2f after",
                      uri, before, after))
  tracks[uri] = { track = track, processor = processor }
  check(near(before, DC_DB, 0.01), "the track reads -6.02 dBFS before")
  if uri == INLINE_URI then
    check(near(after, DC_DB, 0.01),
          "the inline variant keeps the track at -6.02 dBFS")
  end
end

for _, uri in ipairs({ INLINE_URI, URI }) do
  local processor = tracks[uri].processor
  local level, peak, rms = reading(processor, 1), reading(processor, 2),
    reading(processor, 3)
  check(within_step_of_half(level) and peak == 0.5 and
        within_step_of_half(rms),
        string.format("%s reads level %.4f, peak %.4f, RMS %.4f on 0.5",
                      uri, level, peak, rms))
end

-- Silence after the DC: the level falls, the peak hold stays, and a press of
-- the reset clears it.
local track = tracks[INLINE_URI].track
local processor = tracks[INLINE_URI].processor
track:input():disconnect_all(nil)
wait(1)
check(reading(processor, 2) == 0.5 and reading(processor, 1) < 0.25,
      string.format("on silence the level falls to %.4f, the peak hold stays %.4f",
                    reading(processor, 1), reading(processor, 2)))
ARDOUR.LuaAPI.set_processor_param(processor, 0, 1)
wait(0.3)
ARDOUR.LuaAPI.set_processor_param(processor, 0, 0)
wait(0.3)
check(reading(processor, 2) == 0,
      string.format("a press of the reset clears the peak hold to %.4f",
                    reading(processor, 2)))
track:input():audio(0):connect("system:capture_1")
wait(0.5)

-- Save, close and load again: both plug-ins are back in place, active,
-- with their controls, the inline track still sounds and both meter.
session:save_state("", false, false, false, false, false)
close_session()
session = load_session(folder, "meter")
check(session ~= nil, "the saved session loads again")
wait(1)
for name, uri in pairs({ inline = INLINE_URI, tap = URI }) do
  local route = session:route_by_name(name)
  local plugin = (route and not route:isnil()) and route:nth_plugin(0) or nil
  local ok = plugin ~= nil and not plugin:isnil() and plugin:active() and
    plugin:to_insert():plugin(0):unique_id() == uri
  check(ok, string.format("after reload %s is back on track '%s', active", uri, name))
  if ok then
    check(reading(plugin, 0) == 0 and within_step_of_half(reading(plugin, 1)) and
          reading(plugin, 2) == 0.5,
          string.format("after reload %s: reset %.1f, level %.4f, peak %.4f",
                        uri, reading(plugin, 0), reading(plugin, 1),
                        reading(plugin, 2)))
  end
  if name == "inline" and route then
    check(near(track_db(route:to_track()), DC_DB, 0.01),
          string.format("after reload the inline track reads %.2f dBFS",
                        track_db(route:to_track())))
  end
end
close_session()
common.done()
