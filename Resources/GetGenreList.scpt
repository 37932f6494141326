# Asks the player for the genres of its library: a list of texts.
tell hook
send hook Gnrs
timeout 300
