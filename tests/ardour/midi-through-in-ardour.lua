-- SPDX-License-Identifier: GPL-3.0-or-later
-- "pass other MIDI through" in Ardour 7, on its dummy audio backend: a MIDI track with a note
-- generator, the built Brisquellum (VST 2.4) and a MIDI sink, in that order. The generator sends
-- a note-on and a note-off in every cycle; the sink counts the notes that reach it.
--
-- Run through midi-through-in-ardour.sh, in steps (the variable STEP):
--   create  makes the session, checks that with MIDI through off (a new instance) no note passes,
--           and saves it; the shell script then turns MIDI through on in the saved state chunk;
--   play    reopens the session and checks that the notes pass;
--   automation (after the shell script made control change 1 a cursor source and turned
--           "report cursor moves to the host" on) records the source's moves in touch mode
--           and plays them back.
-- Prints "ok" lines and, when every check passed, a last line "ardour: ..."; the first check
-- that fails ends it with a Lua error.

local home = os.getenv ("HOME")
local step = os.getenv ("STEP")
local dir, name = home .. "/midi-through", "midi-through"

local function check (condition, what)
	if not condition then
		error ("FAIL: " .. what, 0)
	end
	print ("ok:   " .. what)
end

local function shared (route, index, slot)
	return route:nth_plugin (index):to_insert ():plugin (0):to_luaproc ():shmem ():atomic_get_int (slot)
end

-- Rolls the transport for about a second; answers the notes sent and the notes and control
-- changes the sink received meanwhile.
local function roll (route)
	local sent, got, ccs = shared (route, 0, 0), shared (route, 2, 0), shared (route, 2, 1)
	Session:request_locate (0, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
	Session:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
	ARDOUR.LuaAPI.usleep (1000000)
	check (ARDOUR.LuaAPI.wait_for_process_callback (10, 5000), "the engine processes")
	Session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
	ARDOUR.LuaAPI.usleep (200000)
	return shared (route, 0, 0) - sent, shared (route, 2, 0) - got, shared (route, 2, 1) - ccs
end

check (AudioEngine:set_backend ("None (Dummy)", "", ""), "the dummy audio backend")

if step == "create" then
	check (create_session (dir, name, 48000), "a new session")
	local brisquellum
	for info in ARDOUR.LuaAPI.list_plugins ():iter () do
		if info.name == "Brisquellum" and info.type == ARDOUR.PluginType.LXVST then
			brisquellum = info
		end
	end
	check (brisquellum ~= nil, "Ardour lists the built Brisquellum (VST 2.4): " .. (brisquellum and brisquellum.path or "no"))

	local midi = ARDOUR.DataType ("midi")
	local tracks = Session:new_midi_track (ARDOUR.ChanCount (midi, 1), ARDOUR.ChanCount (midi, 1), false,
		ARDOUR.PluginInfo (), nil, nil, 1, "through",
		ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false)
	check (tracks:size () == 1, "a MIDI track")
	local track = tracks:front ()

	-- Each goes in first: the order becomes generator, Brisquellum, sink.
	local processors = {
		ARDOUR.LuaAPI.new_luaproc (Session, "Brisquell test sink"),
		ARDOUR.LuaAPI.new_plugin (Session, brisquellum.unique_id, ARDOUR.PluginType.LXVST, ""),
		ARDOUR.LuaAPI.new_luaproc (Session, "Brisquell test notes"),
	}
	for i, processor in ipairs (processors) do
		check (not processor:isnil (), "processor " .. i)
		check (track:add_processor_by_index (processor, 0, nil, true) == 0, "processor " .. i .. " on the track")
		processor:activate ()
	end
	check (track:nth_plugin (1):name () == "Brisquellum", "Brisquellum between generator and sink")

	local sent, got = roll (track)
	check (sent > 0, "the generator sent " .. sent .. " notes")
	check (got == 0, "MIDI through off (a new instance's setting): no note passed (" .. got .. ")")
	check (Session:save_state ("", false, false, false, false, false) == 0, "the session saves")
	close_session ()
	print ("ardour: the session with MIDI through off is made")
elseif step == "play" then
	check (load_session (dir, name), "the session with MIDI through on reopens")
	local track = Session:route_by_name ("through")
	check (not track:isnil (), "the track")
	check (track:nth_plugin (1):name () == "Brisquellum", "Brisquellum between generator and sink")
	local sent, got, ccs = roll (track)
	check (sent > 100, "the generator sent " .. sent .. " notes")
	-- The sink may miss the generator's last cycle when counting stops between the two.
	check (got >= sent - 2 and got <= sent, "MIDI through on: the notes passed (" .. got .. " of " .. sent .. ")")
	check (ccs == 0, "nothing of Brisquellum's own (no controllers): " .. ccs .. " control changes")
	close_session ()
	print ("ardour: notes pass through Brisquellum with MIDI through on")
elseif step == "automation" then
	-- Control change 1 moves the cursor's x (a source), reported to the host as edits of
	-- "cursor X" (parameter 0): Ardour in touch mode records them while the transport rolls.
	check (load_session (dir, name), "the session with a source and reporting on reopens")
	local track = Session:route_by_name ("through")
	local brisquellum = track:nth_plugin (1)
	local generator = track:nth_plugin (0)
	local al, cl = ARDOUR.LuaAPI.plugin_automation (brisquellum, 0)
	check (not al:isnil (), "cursor X has an automation list")
	local ac = brisquellum:to_automatable ():automation_control (Evoral.Parameter (ARDOUR.AutomationType.PluginAutomation, 0, 0), false)
	check (not ac:isnil (), "cursor X has an automation control")
	ac:set_automation_state (ARDOUR.AutoState.Touch)

	check (ARDOUR.LuaAPI.set_processor_param (generator, 0, 1), "the generator's control ramp on")
	roll (track)
	ARDOUR.LuaAPI.usleep (500000) -- the gesture ends after a quiet spell
	check (ARDOUR.LuaAPI.set_processor_param (generator, 0, 0), "the generator's control ramp off")
	local recorded = al:size ()
	check (recorded > 2, "touch mode recorded " .. recorded .. " points of cursor X")

	-- Played back: the cursor follows what was recorded, with no source moving it.
	ARDOUR.LuaAPI.set_processor_param (brisquellum, 0, 0)
	ac:set_automation_state (ARDOUR.AutoState.Play)
	Session:request_locate (0, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
	Session:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
	ARDOUR.LuaAPI.usleep (700000)
	local at = Session:transport_sample ()
	local played = ARDOUR.LuaAPI.get_processor_param (brisquellum, 0)
	Session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
	local expected = al:eval (Temporal.timepos_t (at))
	print ("      at sample " .. at .. ": cursor X " .. played .. ", the recording says " .. expected)
	check (played > 0.02 and math.abs (played - expected) < 0.1, "playback moves cursor X as recorded")
	close_session ()
	print ("ardour: a source's moves recorded in touch mode play back")
else
	error ("FAIL: STEP must be create or play", 0)
end
