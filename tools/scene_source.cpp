// Scene source compiler: placeholder until the text format lands.
