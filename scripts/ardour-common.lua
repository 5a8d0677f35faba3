-- SPDX-License-Identifier: ISC
-- What the Ardour session scripts share, those of the tests (tests/daw/)
-- and the screenshot's (ardour-mixer-session.lua): the plug-ins' URIs, the
-- dummy engine they start, the plug-ins Ardour has scanned, a meter
-- inserted on a route, and the tests' checks. Loaded with dofile from the
-- script's own folder or a path to this one; returns a table.
local common = { failures = 0 }

common.URI = "http://tolvanic.org/oss/lv2/tolvanic"
common.INLINE_URI = common.URI .. "#inline"
common.STEREO_URI = common.URI .. "#stereo"

-- The dummy backend's input that carries a DC of 0.5, and that DC in dBFS.
common.DC_DEVICE = "DC -6dBFS (+.5)"
common.DC_DB = 20 * math.log(0.5, 10)

function common.wait(seconds)
  ARDOUR.LuaAPI.usleep(math.floor(seconds * 1e6))
end

-- The engine first: listing plug-ins before it runs crashes Ardour 7.3.
-- The dummy backend at 48 kHz in blocks of 256, on `device` if given;
-- true if it runs.
function common.start_dummy_engine(device)
  local backend = AudioEngine:set_backend("None (Dummy)", "", "")
  if device then backend:set_device_name(device) end
  backend:set_sample_rate(48000)
  backend:set_buffer_size(256)
  return AudioEngine:start(false) == 0 and AudioEngine:running()
end

-- The plug-ins Ardour has scanned, by URI.
function common.scanned_plugins()
  local scanned = {}
  for info in ARDOUR.LuaAPI.list_plugins():iter() do
    scanned[info.unique_id] = info
  end
  return scanned
end

-- Inserts the plug-in `uri` as the route's first processor; returns the
-- processor and whether it went in.
function common.insert_plugin(session, route, uri)
  local processor = ARDOUR.LuaAPI.new_plugin(session, uri,
                                             ARDOUR.PluginType.LV2, "")
  return processor, not processor:isnil() and
    route:add_processor_by_index(processor, 0, nil, true) == 0
end

-- Prints "ok:" or "FAIL:" and the promise; counts the broken ones.
function common.check(ok, what)
  print((ok and "ok: " or "FAIL: ") .. what)
  if not ok then common.failures = common.failures + 1 end
end

function common.near(value, expected, tolerance)
  return value ~= nil and math.abs(value - expected) <= tolerance
end

-- The readings are published when they move by more than 0.2 dB, so 0.5
-- reads within that step of 0.5.
function common.within_step_of_half(value)
  return value ~= nil and value > 0 and
    math.abs(20 * math.log(value / 0.5, 10)) <= 0.2
end

function common.done()
  print(common.failures == 0 and "done" or
        string.format("done with %d failures", common.failures))
end

return common
