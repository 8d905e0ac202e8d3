# A large game's extra executable section: code-like filler that nothing calls
# and in which recognition must find nothing.
.section .filler,"xr"
.incbin "code_filler.bin"
