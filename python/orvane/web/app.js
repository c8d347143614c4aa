// The live-transcription page: streams the microphone (or a dropped WAV file) to the server of the
// same origin over WebSocket and shows the partial text and the final segments it sends back.
"use strict";

const startButton = document.getElementById("start");
const statusLine = document.getElementById("status");
const partialView = document.getElementById("partial");
const segmentList = document.getElementById("segments");
const dropZone = document.getElementById("drop");
const fileInput = document.getElementById("file");

let capture = null;  // {socket, context, media, node} while the microphone streams
let busy = false;    // a connection is open (microphone or file)

function setStatus(text, isError = false) {
  statusLine.textContent = text;
  statusLine.className = isError ? "error" : "";
}

function formatTime(seconds) {
  return Number(seconds).toFixed(2);
}

function showFinal(documentJson) {
  partialView.textContent = documentJson.text || "";
  segmentList.replaceChildren();
  for (const segment of documentJson.segments || []) {
    const item = document.createElement("li");
    const time = document.createElement("span");
    time.className = "time";
    time.textContent = `${formatTime(segment.start)}–${formatTime(segment.end)} s`;
    item.append(time, " ", segment.text);
    segmentList.append(item);
  }
}

// Opens a connection, sends the rate, and routes the server's documents to the page.
function connect(sampleRate, onClosed) {
  const scheme = location.protocol === "https:" ? "wss://" : "ws://";
  const socket = new WebSocket(scheme + location.host + "/");
  socket.binaryType = "arraybuffer";
  let failed = false;
  socket.onopen = () => socket.send(JSON.stringify({ sample_rate: sampleRate }));
  socket.onmessage = (event) => {
    const message = JSON.parse(event.data);
    if (message.error) {
      failed = true;
      setStatus("Server: " + message.error, true);
    } else if (message.is_final) {
      showFinal(message);
      setStatus("Done.");
    } else {
      partialView.textContent = message.text || "";
    }
  };
  socket.onclose = (event) => {
    busy = false;
    if (!failed && event.code !== 1000) setStatus(`Connection closed (code ${event.code}).`, true);
    onClosed();
  };
  busy = true;
  segmentList.replaceChildren();
  partialView.textContent = "";
  return socket;
}

async function startMicrophone() {
  const context = new AudioContext();
  let media;
  try {
    await context.audioWorklet.addModule("capture-worklet.js");
    media = await navigator.mediaDevices.getUserMedia({
      audio: { channelCount: 1, echoCancellation: false, noiseSuppression: false, autoGainControl: false },
    });
  } catch (error) {
    context.close();
    setStatus("No microphone: " + error.message, true);
    return;
  }
  const source = context.createMediaStreamSource(media);
  const node = new AudioWorkletNode(context, "pcm-capture");
  const mute = context.createGain();  // keeps the worklet pulled by the graph, silently
  mute.gain.value = 0;
  source.connect(node).connect(mute).connect(context.destination);
  const socket = connect(context.sampleRate, () => stopCapture(true));
  node.port.onmessage = (event) => {
    if (event.data === "flushed") {
      if (socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify({ eof: true }));
    } else if (socket.readyState === WebSocket.OPEN) {
      socket.send(event.data);
    }
  };
  capture = { socket, context, media, node };
  startButton.textContent = "Stop";
  setStatus(`Listening at ${context.sampleRate} Hz…`);
}

// Stops the microphone; unless the connection is already gone, the rest of the audio is flushed
// and {"eof": true} sent, and the final document arrives before the server closes.
function stopCapture(connectionGone) {
  if (!capture) return;
  const { context, media, node } = capture;
  capture = null;
  media.getTracks().forEach((track) => track.stop());
  if (!connectionGone) {
    node.port.postMessage("flush");
    setStatus("Finishing…");
  }
  setTimeout(() => context.close(), 500);  // after the worklet's last blocks are posted
  startButton.textContent = "Start";
}

startButton.addEventListener("click", () => {
  if (capture) stopCapture(false);
  else if (!busy) startMicrophone();
});

// ---- WAV files -------------------------------------------------------------------------------

// Mono 16-bit samples and rate of a WAV file's bytes: integer PCM of 8, 16, 24 or 32 bits or
// 32-bit float, channels averaged. Throws an Error naming what is not supported.
function decodeWav(buffer) {
  const view = new DataView(buffer);
  const tag = (offset) => String.fromCharCode(...new Uint8Array(buffer, offset, 4));
  if (buffer.byteLength < 12 || tag(0) !== "RIFF" || tag(8) !== "WAVE") throw new Error("not a WAV file");
  let format = null;
  let data = null;
  for (let offset = 12; offset + 8 <= buffer.byteLength;) {
    const id = tag(offset);
    const size = view.getUint32(offset + 4, true);
    const body = offset + 8;
    if (id === "fmt " && size >= 16) {
      let code = view.getUint16(body, true);
      if (code === 0xfffe && size >= 40) code = view.getUint16(body + 24, true);  // extensible
      format = { code, channels: view.getUint16(body + 2, true), rate: view.getUint32(body + 4, true),
                 bits: view.getUint16(body + 14, true) };
    } else if (id === "data") {
      data = { offset: body, size: Math.min(size, buffer.byteLength - body) };
    }
    offset = body + size + (size & 1);
  }
  if (!format || !data) throw new Error("WAV file without fmt or data chunk");
  const { code, channels, rate, bits } = format;
  const bytes = bits / 8;
  const readers = {
    "1:8": (o) => (view.getUint8(o) - 128) / 128,
    "1:16": (o) => view.getInt16(o, true) / 32768,
    "1:24": (o) => ((view.getUint8(o) | (view.getUint8(o + 1) << 8) | (view.getInt8(o + 2) << 16))) / 8388608,
    "1:32": (o) => view.getInt32(o, true) / 2147483648,
    "3:32": (o) => view.getFloat32(o, true),
  };
  const read = readers[`${code}:${bits}`];
  if (!read || channels < 1) throw new Error(`unsupported WAV format ${code} with ${bits} bits`);
  const frames = Math.floor(data.size / (bytes * channels));
  const samples = new Int16Array(frames);
  for (let i = 0; i < frames; ++i) {
    let sum = 0;
    for (let c = 0; c < channels; ++c) sum += read(data.offset + (i * channels + c) * bytes);
    const s = Math.max(-1, Math.min(1, sum / channels));
    samples[i] = s < 0 ? s * 0x8000 : s * 0x7fff;
  }
  return { samples, rate };
}

async function transcribeFile(file) {
  if (busy) return;
  let wav;
  try {
    wav = decodeWav(await file.arrayBuffer());
  } catch (error) {
    setStatus(`${file.name}: ${error.message}`, true);
    return;
  }
  const socket = connect(wav.rate, () => {});
  setStatus(`Transcribing ${file.name} (${wav.rate} Hz)…`);
  socket.addEventListener("open", () => {
    const block = wav.rate;  // 1 s of samples per message, far below the 1 MiB limit
    // Int16Array is in the platform's byte order: little-endian on every browser's hardware.
    for (let i = 0; i < wav.samples.length; i += block) socket.send(wav.samples.slice(i, i + block).buffer);
    socket.send(JSON.stringify({ eof: true }));
  });
}

// A file dropped anywhere on the page is transcribed (instead of the browser opening it).
document.addEventListener("dragover", (event) => {
  event.preventDefault();
  dropZone.classList.add("over");
});
document.addEventListener("dragleave", () => dropZone.classList.remove("over"));
document.addEventListener("drop", (event) => {
  event.preventDefault();
  dropZone.classList.remove("over");
  if (event.dataTransfer.files.length > 0) transcribeFile(event.dataTransfer.files[0]);
});
fileInput.addEventListener("change", () => {
  if (fileInput.files.length > 0) transcribeFile(fileInput.files[0]);
  fileInput.value = "";
});
