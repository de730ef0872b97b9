ardour {
	["type"]    = "dsp",
	name        = "Brisquell test sink",
	category    = "Utility",
	license     = "GPLv3",
	author      = "Brisquellum tests",
	description = [[Takes every MIDI message and passes none on; counts the notes (shared memory int 0) and the control changes (int 1).]]
}

function dsp_ioconfig ()
	return { { midi_in = 1, midi_out = 1, audio_in = 0, audio_out = 0 }, }
end

function dsp_init (rate)
	self:shmem ():allocate (2)
	self:shmem ():atomic_set_int (0, 0)
	self:shmem ():atomic_set_int (1, 0)
end

function dsp_run (_, _, n_samples)
	for _, b in pairs (midiin) do
		local d = b["data"]
		local kind = #d > 0 and (d[1] >> 4) or 0
		if kind == 8 or kind == 9 then
			self:shmem ():atomic_set_int (0, self:shmem ():atomic_get_int (0) + 1)
		elseif kind == 11 then
			self:shmem ():atomic_set_int (1, self:shmem ():atomic_get_int (1) + 1)
		end
	end
end
