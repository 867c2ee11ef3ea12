// Pictures: the engine's frame onto the canvas, and a picture of the user's
// own (a file opened or dropped, or a shared screen) as the spiral's start.

import { bytes, engine } from './engine.js';
import { canvas, say } from './page.js';

let frameImage = null;  // the ImageData over the engine's frame, kept between frames

// The canvas at the engine's surface size; with cssPixelsPerPixel, also its
// size on the page (the live page leaves that to its style).
export function sizeCanvas(cssPixelsPerPixel) {
  const width = engine.gyrel_width();
  const height = engine.gyrel_height();
  canvas.width = width;
  canvas.height = height;
  if (cssPixelsPerPixel) {
    canvas.style.width = `${width * cssPixelsPerPixel}px`;
    canvas.style.height = `${height * cssPixelsPerPixel}px`;
  }
  frameImage = null;
}

// The engine's picture onto the canvas.
export function present() {
  const pointer = engine.gyrel_make_frame();
  const width = engine.gyrel_width();
  const height = engine.gyrel_height();
  // A view straight onto the module's memory: no copy on this side. The
  // memory's buffer is replaced whenever it grows.
  if (frameImage === null || frameImage.data.buffer !== engine.memory.buffer ||
      frameImage.data.byteOffset !== pointer || frameImage.width !== width ||
      frameImage.height !== height) {
    const view = new Uint8ClampedArray(engine.memory.buffer, pointer, width * height * 4);
    frameImage = new ImageData(view, width, height);
  }
  // Opaque: the browser composites it without blending.
  canvas.getContext('2d', { alpha: false }).putImageData(frameImage, 0, 0);
}

// A picture (an ImageBitmap, a video or an image) as the engine's start
// picture: scaled to fill the surface without distortion, as a desktop
// picture set to fill, its overflow cut off evenly on both sides.
function takePicture(source, sourceWidth, sourceHeight) {
  const width = engine.gyrel_width();
  const height = engine.gyrel_height();
  const scale = Math.max(width / sourceWidth, height / sourceHeight);
  const cutWidth = Math.min(sourceWidth, width / scale);
  const cutHeight = Math.min(sourceHeight, height / scale);
  const scratch = document.createElement('canvas');
  scratch.width = width;
  scratch.height = height;
  const context = scratch.getContext('2d', { willReadFrequently: true });
  context.fillStyle = '#000';
  context.fillRect(0, 0, width, height);
  context.imageSmoothingQuality = 'high';
  context.drawImage(source, (sourceWidth - cutWidth) / 2, (sourceHeight - cutHeight) / 2, cutWidth,
                    cutHeight, 0, 0, width, height);
  const pixels = context.getImageData(0, 0, width, height).data;
  bytes().set(pixels, engine.gyrel_frame_buffer());
  engine.gyrel_take_frame();
}

// restart() starts the spiral afresh from the picture just taken; false when
// it could not (it has then said why).
async function pictureFromFile(file, restart) {
  const name = file.name || 'the picture';
  let bitmap;
  try {
    bitmap = await createImageBitmap(file);
  } catch (error) {
    say(`"${name}" cannot be read as a picture by this browser; the spiral goes on with its picture.`);
    return;
  }
  const { width, height } = bitmap;
  takePicture(bitmap, width, height);
  bitmap.close();
  if (!restart()) return;
  const surface = `${engine.gyrel_width()}x${engine.gyrel_height()}`;
  const scaled = width > engine.gyrel_width() || height > engine.gyrel_height()
    ? `, scaled down to ${surface}` : '';
  say(`The spiral starts from "${name}" (${width}x${height}${scaled}).`);
}

function canShareScreen() {
  return Boolean(navigator.mediaDevices && navigator.mediaDevices.getDisplayMedia);
}

async function captureScreen(restart) {
  if (!canShareScreen()) {
    say('This browser cannot share a screen with a page.');
    return;
  }
  let stream;
  try {
    stream = await navigator.mediaDevices.getDisplayMedia({ video: true, audio: false });
  } catch (error) {
    say('No screen was shared; the spiral goes on with its picture.');
    return;
  }
  const video = document.createElement('video');
  video.muted = true;
  video.srcObject = stream;
  try {
    await video.play();
    // The first frame; a stream that never shows one is given up.
    if (video.readyState < video.HAVE_CURRENT_DATA) {
      await new Promise((resolve, reject) => {
        video.addEventListener('loadeddata', resolve, { once: true });
        setTimeout(() => reject(new Error('no frame')), 10000);
      });
    }
    takePicture(video, video.videoWidth, video.videoHeight);
  } catch (error) {
    say('The shared screen could not be read; the spiral goes on with its picture.');
    return;
  } finally {
    for (const track of stream.getTracks()) track.stop();
  }
  if (restart()) say('The spiral starts from the shared screen.');
}

// The panel's "Open picture…" and "Capture screen…", and a file dropped on
// the page; each picture taken is handed to restart().
export function wirePictures(restart) {
  const fileInput = document.getElementById('file');
  document.getElementById('open').addEventListener('click', () => fileInput.click());
  fileInput.addEventListener('change', () => {
    if (fileInput.files.length > 0) pictureFromFile(fileInput.files[0], restart);
    fileInput.value = '';
  });
  const capture = document.getElementById('capture');
  if (!canShareScreen()) {
    capture.disabled = true;
    capture.title = 'This browser cannot share a screen with a page.';
  }
  capture.addEventListener('click', () => captureScreen(restart));
  window.addEventListener('dragover', (event) => {
    event.preventDefault();
    document.body.classList.add('dragging');
  });
  window.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  window.addEventListener('drop', (event) => {
    event.preventDefault();
    document.body.classList.remove('dragging');
    const files = event.dataTransfer ? event.dataTransfer.files : [];
    if (files.length > 0) {
      pictureFromFile(files[0], restart);
    } else {
      say('Only a picture file can be dropped here.');
    }
  });
}
