-- SPDX-License-Identifier: ISC
-- What the Ardour session scripts share: their checks, and the dummy
-- engine they start. Loaded with dofile; returns a table of functions.
local common = { failures = 0 }

-- The DC of the dummy backend's "DC -6dBFS (+.5)" input, in dBFS.
common.DC_DB = 20 * math.log(0.5, 10)

-- Prints "ok:" or "FAIL:" and the promise; counts the broken ones.
function common.check(ok, what)
  print((ok and "ok: " or "FAIL: ") .. what)
  if not ok then common.failures = common.failures + 1 end
end

function common.near(value, expected, tolerance)
  return value ~= nil and math.abs(value - expected) <= tolerance
end

function common.wait(seconds)
  ARDOUR.LuaAPI.usleep(math.floor(seconds * 1e6))
end

-- The readings are published when they move by more than 0.2 dB, so 0.5
-- reads within that step of 0.5.
function common.within_step_of_half(value)
  return value ~= nil and value > 0 and
    math.abs(20 * math.log(value / 0.5, 10)) <= 0.2
end

-- The engine first: listing plug-ins before it runs crashes Ardour 7.3.
function common.start_dummy_engine()
  local backend = AudioEngine:set_backend("None (Dummy)", "", "")
  backend:set_device_name("DC -6dBFS (+.5)")
  backend:set_sample_rate(48000)
  backend:set_buffer_size(256)
  common.check(AudioEngine:start(false) == 0 and AudioEngine:running(),
               "the dummy engine runs at 48 kHz in blocks of 256")
end

function common.done()
  print(common.failures == 0 and "done" or
        string.format("done with %d failures", common.failures))
end

return common
