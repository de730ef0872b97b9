-- SPDX-License-Identifier: GPL-3.0-or-later
-- Ardour 7 finds the installed Brisquellum (VST 2.4 from /usr/lib/vst, LV2 from /usr/lib/lv2)
-- in its own plug-in list, without any path set, and runs each on a MIDI track of a new session
-- on the dummy audio backend: the plug-in is instantiated, its "cursor X" parameter answers
-- (VST 2.4), the transport rolls through it, and the session saves its state.
--
-- Run it through system-install-plugins.sh, which gives it a HOME of its own and indexes the
-- system's VST 2.4 plug-ins first with Ardour's scanner, as Ardour does when it scans for new
-- plug-ins (ardour7-lua reads that index and never scans itself). Prints "ok" lines and, when
-- every check passed, a last line "ardour: ... from the system folders"; the first check that
-- fails ends it with a Lua error.

local home = os.getenv ("HOME")
local expected = {
	{ type = ARDOUR.PluginType.LXVST, label = "VST 2.4", path = "/usr/lib/vst/Brisquellum.so", cursor_x = 0 },
	-- LV2 carries the cursor as patch:Set parameters, not as control ports Ardour's Lua sets.
	{ type = ARDOUR.PluginType.LV2, label = "LV2", path = "urn:brisquellum:plugin" },
}

local function check (condition, what)
	if not condition then
		error ("FAIL: " .. what, 0)
	end
	print ("ok:   " .. what)
end

check (AudioEngine:set_backend ("None (Dummy)", "", ""), "the dummy audio backend")
local session = create_session (home .. "/system-install", "system-install", 48000)
check (session, "a new session")

-- The plug-ins as Ardour lists them (its plug-in manager scanned the standard folders).
local found = {}
for info in ARDOUR.LuaAPI.list_plugins ():iter () do
	if info.name == "Brisquellum" then
		print ("      found " .. info.name .. " by " .. info.creator .. ", type " .. tostring (info.type) .. ", " .. info.path .. ", " .. info.unique_id)
		found[info.type] = info
	end
end

local midi = ARDOUR.DataType ("midi")
for _, plugin in ipairs (expected) do
	local info = found[plugin.type]
	check (info ~= nil, plugin.label .. ": Ardour lists Brisquellum")
	check (info.path == plugin.path or info.unique_id == plugin.path, plugin.label .. ": from " .. plugin.path)

	local tracks = Session:new_midi_track (ARDOUR.ChanCount (midi, 1), ARDOUR.ChanCount (midi, 1), false,
		ARDOUR.PluginInfo (), nil, nil, 1, "Brisquellum " .. plugin.label,
		ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false)
	check (tracks:size () == 1, plugin.label .. ": a MIDI track")
	local track = tracks:front ()

	local processor = ARDOUR.LuaAPI.new_plugin (Session, info.unique_id, plugin.type, "")
	check (not processor:isnil (), plugin.label .. ": an instance")
	check (track:add_processor_by_index (processor, 0, nil, true) == 0, plugin.label .. ": on the track")
	processor:activate ()

	if plugin.cursor_x then
		ARDOUR.LuaAPI.set_processor_param (processor, plugin.cursor_x, 0.75)
		local value = ARDOUR.LuaAPI.get_processor_param (processor, plugin.cursor_x)
		check (math.abs (value - 0.75) < 0.001, plugin.label .. ": cursor X answers " .. tostring (value))
	end
end

-- Roll the transport for half a second: every process cycle runs both plug-ins.
Session:request_locate (0, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
Session:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep (500000)
check (ARDOUR.LuaAPI.wait_for_process_callback (10, 5000), "the engine processes")
Session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep (200000)
check (Session:transport_sample () > 0, "the transport rolled through the plug-ins (to sample " .. tostring (Session:transport_sample ()) .. ")")
for _, plugin in ipairs (expected) do
	local route = Session:route_by_name ("Brisquellum " .. plugin.label)
	check (not route:isnil () and not route:nth_plugin (0):isnil (), plugin.label .. ": still on its track after the roll")
end

check (Session:save_state ("", false, false, false, false, false) == 0, "the session saves")
-- The VST 2.4 plug-in's state chunk starts with "VC2!", "VkMy" in the session file's base64.
local saved = ARDOUR.LuaAPI.file_get_contents (home .. "/system-install/system-install.ardour")
check (saved:find ("VkMy", 1, true) ~= nil, "the session holds the VST 2.4 plug-in's state chunk")
close_session ()
print ("ardour: Brisquellum runs as VST 2.4 and LV2 from the system folders")
