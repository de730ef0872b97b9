ardour {
	["type"]    = "dsp",
	name        = "Brisquell test notes",
	category    = "Utility",
	license     = "GPLv3",
	author      = "Brisquellum tests",
	description = [[Sends a note-on at the start of every cycle and its note-off half-way through, and counts them (shared memory int 0); with "control ramp" on, also control change 1 on channel 1, one step up each cycle (0 to 127, again and again); what comes in passes on.]]
}

function dsp_params ()
	return { { ["type"] = "input", name = "control ramp", min = 0, max = 1, default = 0, toggled = true } }
end

function dsp_ioconfig ()
	return { { midi_in = 1, midi_out = 1, audio_in = 0, audio_out = 0 }, }
end

function dsp_init (rate)
	self:shmem ():allocate (1)
	self:shmem ():atomic_set_int (0, 0)
end

function dsp_run (_, _, n_samples)
	local cnt = 1
	for _, b in pairs (midiin) do
		midiout[cnt] = { time = b["time"], data = b["data"] }
		cnt = cnt + 1
	end
	local half = math.max (1, math.floor (n_samples / 2))
	midiout[cnt] = { time = 1, data = { 0x90, 60, 100 } }
	midiout[cnt + 1] = { time = half, data = { 0x80, 60, 0 } }
	self:shmem ():atomic_set_int (0, self:shmem ():atomic_get_int (0) + 2)
	if CtrlPorts:array ()[1] > 0 then
		ramp = ((ramp or -1) + 1) % 128
		midiout[cnt + 2] = { time = half + 1, data = { 0xb0, 1, ramp } }
	end
end
