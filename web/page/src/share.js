// A project in a link: "#projekt=" followed by the project file's bytes compressed with raw
// DEFLATE (RFC 1951) and written in base64url without padding, and "&regler=" likewise
// for the side file. The part after "#" never reaches a server.
import { Inflate, deflateSync } from "fflate";

// Larger files are refused unread by the engine; a link that inflates beyond this is broken.
const kMaxBytes = 8 * 1024 * 1024;

// Raw DEFLATE back to bytes, refusing more than kMaxBytes (a hostile link stays small).
function inflate(bytes) {
  const chunks = [];
  let total = 0;
  const stream = new Inflate((chunk) => {
    total += chunk.length;
    if (total > kMaxBytes) throw new Error("zu groß");
    chunks.push(chunk);
  });
  // In small pieces: each can inflate to at most about a thousand times its size.
  const kPiece = 1024;
  for (let at = 0; at < bytes.length; at += kPiece) {
    stream.push(bytes.subarray(at, at + kPiece), at + kPiece >= bytes.length);
  }
  if (bytes.length === 0) stream.push(bytes, true);
  const out = new Uint8Array(total);
  let at = 0;
  for (const chunk of chunks) {
    out.set(chunk, at);
    at += chunk.length;
  }
  return out;
}

function base64url(bytes) {
  let text = "";
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(text).replaceAll("+", "-").replaceAll("/", "_").replace(/=+$/, "");
}

function fromBase64url(text) {
  const binary = atob(text.replaceAll("-", "+").replaceAll("_", "/"));
  return Uint8Array.from(binary, (c) => c.charCodeAt(0));
}

export function linkOf(base, project, side) {
  let link = `${base}#projekt=${base64url(deflateSync(project, { level: 9 }))}`;
  if (side.length > 0) link += `&regler=${base64url(deflateSync(side, { level: 9 }))}`;
  return link;
}

// The project (and side file) of an address's fragment: null when it holds none,
// {error} when it cannot be read.
export function projectOfLink(hash) {
  const fields = new URLSearchParams(hash.replace(/^#/, ""));
  if (!fields.has("projekt")) return null;
  try {
    const project = inflate(fromBase64url(fields.get("projekt")));
    const side = fields.has("regler") ? inflate(fromBase64url(fields.get("regler"))) : null;
    return { project, side };
  } catch {
    return { error: true };
  }
}
