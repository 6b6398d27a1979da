// The page's sound: one AudioContext, made and resumed on the player's first
// click or key (browsers start no sound before one), with the wave effects
// and the music mixed into one output. The music is FluidSynth
// (js-synthesizer, in an AudioWorklet) with the TimGM6mb SoundFont, as on the
// desktop, fed by the game's own sequencer's short messages. The SoundFont
// and the synthesiser's files are fetched only when the first song starts.
mergeInto(LibraryManager.library, {
  $QFA__postset: 'Module["audioOut"] = function() { return QFA; };',
  $QFA: {
    context: null, master: null, effects: null, music: null, voice: null, waveBusy: false,
    effectsVolume: 1, musicVolume: 1,
    // The synthesiser: fetching the files, then building it once there is a
    // context; until it is up, the channels' settings are kept and sent to
    // it when it is, and notes are dropped.
    synth: null, fetched: null, building: false, channels: null,
    // The waits of the game come back when a wave it waits for ends.
    onWaveEnd: null,
    synthGain: 0.6,  // as the desktop sets FluidSynth's (qf_midi_open)

    start: function() {
      if (QFA.context) {
        if (QFA.context.state === 'suspended') QFA.context.resume();
        return;
      }
      var A = window.AudioContext || window.webkitAudioContext;
      if (!A) return;
      var c = QFA.context = new A();
      QFA.master = c.createGain();
      QFA.master.connect(c.destination);
      QFA.effects = c.createGain();
      QFA.effects.gain.value = QFA.effectsVolume;
      QFA.effects.connect(QFA.master);
      QFA.music = c.createGain();
      QFA.music.gain.value = QFA.musicVolume;
      QFA.music.connect(QFA.master);
      QFA.build();
    },
    running: function() { return QFA.context && QFA.context.state === 'running'; },

    freshChannels: function() {
      QFA.channels = [];
      for (var i = 0; i < 16; i++) QFA.channels.push({ program: 0, controls: {}, bend: 8192 });
    },
    script: function(src) {
      return new Promise(function(resolve, reject) {
        var s = document.createElement('script');
        s.src = src;
        s.onload = resolve;
        s.onerror = function() { reject(new Error('no ' + src)); };
        document.head.appendChild(s);
      });
    },
    fetchSynth: function() {
      if (QFA.fetched) return;
      var bytes = function(name) {
        return fetch(name).then(function(r) {
          if (!r.ok) throw new Error(name + ': ' + r.status);
          return r.arrayBuffer();
        });
      };
      QFA.fetched = Promise.all([bytes('TimGM6mb.sf2'), QFA.script('js-synthesizer.min.js')])
        .then(function(got) { return got[0]; });
      QFA.fetched.catch(function(e) { console.warn('quillfen: no music: ' + e); });
      QFA.build();
    },
    build: function() {
      if (!QFA.context || !QFA.fetched || QFA.building) return;
      QFA.building = true;
      var c = QFA.context, font;
      QFA.fetched.then(function(sf2) {
        font = sf2;
        return c.audioWorklet.addModule('libfluidsynth.js');
      }).then(function() {
        return c.audioWorklet.addModule('js-synthesizer.worklet.min.js');
      }).then(function() {
        var s = new JSSynth.AudioWorkletNodeSynthesizer();
        s.init(c.sampleRate);
        var node = s.createAudioNode(c, { initialGain: QFA.synthGain });
        node.connect(QFA.music);
        return s.loadSFont(font).then(function() { return s; });
      }).then(function(s) {
        QFA.synth = s;
        QFA.replay();
        Module['musicReady'] = true;
      }).catch(function(e) { console.warn('quillfen: no music: ' + e); });
    },
    // What the channels were set to while there was no synthesiser.
    replay: function() {
      var s = QFA.synth;
      QFA.channels.forEach(function(ch, i) {
        var controls = ch.controls;
        if (0 in controls) s.midiControl(i, 0, controls[0]);
        s.midiProgramChange(i, ch.program);
        for (var k in controls) if (k !== '0') s.midiControl(i, +k, controls[k]);
        s.midiPitchBend(i, ch.bend);
      });
    },
    short: function(m) {
      var status = m & 0xFF, ch = status & 0x0F, d1 = (m >> 8) & 0x7F, d2 = (m >> 16) & 0x7F;
      var kept = QFA.channels[ch], s = QFA.synth;
      switch (status & 0xF0) {
        case 0x80: if (s) s.midiNoteOff(ch, d1); break;
        case 0x90: if (s) { if (d2) s.midiNoteOn(ch, d1, d2); else s.midiNoteOff(ch, d1); } break;
        case 0xA0: if (s) s.midiKeyPressure(ch, d1, d2); break;
        case 0xB0:
          if (d1 < 120) kept.controls[d1] = d2;
          if (d1 === 121) kept.controls = {};
          if (s) s.midiControl(ch, d1, d2);
          break;
        case 0xC0: kept.program = d1; if (s) s.midiProgramChange(ch, d1); break;
        case 0xD0: if (s) s.midiChannelPressure(ch, d1); break;
        case 0xE0: kept.bend = d1 | (d2 << 7); if (s) s.midiPitchBend(ch, kept.bend); break;
      }
    }
  },

  qf_play_wave__deps: ['$QFA'],
  qf_play_wave: function(data, size, loop) {
    if (QFA.voice) { try { QFA.voice.stop(); } catch (e) {} QFA.voice = null; }
    QFA.waveBusy = false;
    // Before the first click a wave would only sound late, when the
    // context starts: it is dropped, as is everything that cannot play.
    if (!size || !QFA.running()) return;
    var bytes = HEAPU8.slice(data, data + size).buffer;
    var ended = function(s) {
      if (s && QFA.voice !== s) return;
      QFA.waveBusy = false;
      if (QFA.onWaveEnd) QFA.onWaveEnd();
    };
    QFA.waveBusy = true;
    QFA.context.decodeAudioData(bytes, function(buffer) {
      if (!QFA.waveBusy) return;  // stopped while decoding
      var s = QFA.context.createBufferSource();
      s.buffer = buffer;
      s.loop = !!loop;
      s.connect(QFA.effects);
      s.onended = function() { ended(s); };
      QFA.voice = s;
      s.start();
    }, function() { ended(null); });
  },

  qf_wave_busy__deps: ['$QFA'],
  qf_wave_busy: function() { return QFA.waveBusy ? 1 : 0; },

  qf_volumes__deps: ['$QFA'],
  qf_volumes: function(music, effects) {
    QFA.musicVolume = music;
    QFA.effectsVolume = effects;
    if (QFA.music) QFA.music.gain.value = music;
    if (QFA.effects) QFA.effects.gain.value = effects;
  },

  // A device that opens again starts as a new one, as on the desktop.
  qf_midi_open__deps: ['$QFA'],
  qf_midi_open: function(gain) {
    QFA.synthGain = gain;
    QFA.freshChannels();
    if (QFA.synth) QFA.synth.midiSystemReset();
    QFA.fetchSynth();
  },

  qf_midi_short__deps: ['$QFA'],
  qf_midi_short: function(message) { if (QFA.channels) QFA.short(message); },

  // FluidSynth takes the bytes between F0 and F7.
  qf_midi_long__deps: ['$QFA'],
  qf_midi_long: function(data, size) {
    if (!QFA.synth || size < 2 || HEAPU8[data] !== 0xF0) return;
    var end = HEAPU8[data + size - 1] === 0xF7 ? size - 1 : size;
    QFA.synth.midiSysEx(HEAPU8.slice(data + 1, data + end));
  },

  // Every note off and the controllers back, on every channel.
  qf_midi_reset__deps: ['$QFA'],
  qf_midi_reset: function() {
    for (var ch = 0; ch < 16; ch++) {
      if (QFA.channels) QFA.channels[ch].controls = {};
      if (QFA.synth) { QFA.synth.midiAllNotesOff(ch); QFA.synth.midiControl(ch, 121, 0); }
    }
  },
});
