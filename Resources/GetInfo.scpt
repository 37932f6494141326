# Brings up the player's info window for its current track.
tell hook
send hook Info
with '----':obj { form:prop, want:type(prop), seld:type(pTrk), from:'null'() }
timeout 120
