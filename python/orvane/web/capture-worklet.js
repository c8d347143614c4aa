// Audio worklet of the live-transcription page: turns the microphone's float samples (first
// channel, at the AudioContext's rate) into 16-bit little-endian PCM blocks of about 100 ms and
// posts each block's ArrayBuffer to the page. A "flush" message posts what is left, then "flushed".
class PcmCapture extends AudioWorkletProcessor {
  constructor() {
    super();
    this.block = new Int16Array(Math.round(sampleRate / 10));  // sampleRate: the context's, in Hz
    this.filled = 0;
    this.port.onmessage = (event) => {
      if (event.data !== "flush") return;
      this.post();
      this.port.postMessage("flushed");
    };
  }

  post() {
    if (this.filled === 0) return;
    const out = this.block.slice(0, this.filled);  // a copy: `block` is reused
    this.port.postMessage(out.buffer, [out.buffer]);
    this.filled = 0;
  }

  process(inputs) {
    const channel = inputs[0] && inputs[0][0];
    if (!channel) return true;
    for (let i = 0; i < channel.length; ++i) {
      const s = Math.max(-1, Math.min(1, channel[i]));
      this.block[this.filled++] = s < 0 ? s * 0x8000 : s * 0x7fff;
      if (this.filled === this.block.length) this.post();
    }
    return true;
  }
}

registerProcessor("pcm-capture", PcmCapture);
