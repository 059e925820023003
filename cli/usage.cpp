#include "cli/usage.h"

namespace verandol::cli {

const char* UsageText() {
    return R"usage(Usage:
  verandol-cli scan VOLUME [--json] [--all] [--deep] [--carve]
  verandol-cli recover VOLUME OUTDIR [--name-by-index] [--all] [POSITION...]
  (scan and recover also take --deep and --carve)
  (both also take the filters below, and recover takes --keep-folders and
  --no-times)
  verandol-cli volumes [PATH...]
  verandol-cli search DEVICE...
  verandol-cli image SOURCE IMAGE [--map MAPFILE]
  (scan, recover, search and volumes also take --map MAPFILE)
  (every command also takes --no-udisks and --retries N)
  verandol-cli --help

Finds deleted files on an NTFS volume (a block device such as /dev/sdb1, or
an image file) by reading it raw, and copies their data out. The volume is
only ever opened read-only.

VOLUME is a block device or image file holding one NTFS volume, or a
partition inside a whole disk or disk image: PATH@N is partition N of PATH
(disk.img@2, /dev/sdb@1, case.E01@1; MBR logical partitions count from 5).
A whole disk named without @N is scanned when it holds exactly one NTFS
partition. EnCase images (.E01, with their .E02... segments beside them),
VHD, VHDX and VMDK files are read like disk images. PATH@+N is the volume
that begins at byte N of PATH, as "search" prints it, where no partition
table names it.

A volume whose boot sector is damaged is read through the backup copy NTFS
keeps in its last sector, and one whose first MFT records are damaged
through their copy in $MFTMirr; a note on stderr says so.

Commands:
  scan      Lists the deleted files on VOLUME.
  recover   Scans VOLUME, then writes deleted files into the existing folder
            OUTDIR: the files at the given record positions (as "scan" lists
            them, e.g. 0x4C00, any letter case), or every listed deleted file
            when no POSITION is given. A position the scan did not list is
            reported as failed and nothing is written for it.
  volumes   Lists the NTFS volumes found on this machine's block devices
            and in the images (.img, .raw, .dd, .E01, .vhd, .vhdx, .vmdk) of
            the working folder,
            or in the PATHs given: one line per volume with its address (to
            pass to scan and recover), its size in bytes, its label and its
            serial number, tab-separated. A device this user may not read
            is listed, when the system found NTFS on it, with its size,
            an empty label and serial, and "unreadable" in a fifth field,
            and named on stderr; naming it as a PATH asks for it.
  search    Reads each DEVICE (a disk, partition or image) from start to
            end and lists the NTFS volumes on it, also those no partition
            table names any more: one line per volume with its address
            (PATH@+N), its size in bytes, its label, its serial number and
            how it was found ("table": a partition table names it, "boot":
            its boot sector, "backup": only its backup boot sector is left),
            tab-separated. Progress is shown on stderr; Ctrl+C stops it.
  image     Copies the device SOURCE into the file IMAGE before anything
            else reads it, good areas first: large reads that skip ahead
            past errors, then the edges of each failed area sector by
            sector, then the rest of them, then --retries more passes over
            the bad sectors. What was read and what failed goes into
            MAPFILE (default IMAGE.map) in GNU ddrescue's mapfile format,
            saved every 5 seconds and at the end; run the same command
            again, after Ctrl+C or a crash, and it reads only what is still
            to read. Areas never read stay holes in IMAGE, not zeros. IMAGE
            and MAPFILE may not be SOURCE, nor lie on its device. Progress
            on stderr: MiB rescued of the device's, the bad areas, the read
            rate now and on average, the time since a read last delivered
            and the time left.

Options:
  --json            (scan) JSON Lines instead of TSV: every line one object,
                    one per file, with the volume's figures first and the
                    counts last as objects of their own.
  --all             (scan, recover) Files still in use too, so the files of a
                    damaged or found volume can be copied out. The TSV gets
                    a last column Deleted (yes or no), the JSON a key
                    "deleted" (true or false), and the scan's last lines
                    "# Files In Use: N".
  --deep            (scan, recover) Read every sector of VOLUME once and list
                    every file record found on it that the volume does not
                    have in use now: deleted files, the files of a volume
                    that was formatted over (in use then or not), and
                    records left in free space. VOLUME need not hold NTFS
                    now. Each file is recovered with the cluster size of the
                    volume that wrote it; a file whose clusters the present
                    volume has given to other files is incomplete. A name
                    lost from a record is taken from a folder index that
                    still lists it. Progress shows the time left. In JSON
                    such rows carry "found": "deep"; positions are byte
                    offsets of the record within VOLUME.
  --carve           (scan, recover) After the scan, read the clusters the
                    volume's cluster bitmap marks free (every cluster when the
                    bitmap cannot be read; every sector when VOLUME does not
                    hold NTFS) and list the files found there by their
                    content: PNG, JPEG, GIF, GZIP, ZIP (also DOCX, XLSX, PPTX,
                    ODT, ODS, ODP, EPUB, JAR, APK) and PDF, each followed
                    through its structure to its exact end. They come after
                    the scan's rows; their position is their first byte's.
                    Each is named, in this order of trust: from an old entry
                    of its folder's index (live, in a block's slack, or in an
                    index block left in free clusters) or a name left in the
                    slack of an MFT record, of its exact length and type
                    whose record holds another file now, with that entry's
                    folder and times; from the change journal, when
                    one file alone of its type is named there; from its
                    content (a photo's EXIF date taken and camera, a PDF's
                    or an Office document's title); else f<N>.<extension>
                    after the cluster N it begins in (the sector, without
                    NTFS), with no dates and no folder. In JSON they carry
                    "found": "carved", "named_from": "index", "index
                    slack", "free index block", "record slack",
                    "journal", "content" or "cluster", and "check":
                    "verified" (a checksum covers every byte and matched:
                    PNG chunk CRCs,
                    ZIP member CRCs, GZIP CRC and size), "complete" (the
                    structure closes but has no checksum: JPEG to its EOI,
                    GIF to its trailer, PDF to the last %%EOF its startxref
                    reaches) or
                    "incomplete" (the structure begins but breaks, is cut,
                    or touches bytes the device could not read). The scan
                    ends with "# Carved Files: N".
  --name-by-index   (recover) Name each file File_N, N being its row index
                    in the scan's list (counting from 0), instead of its own
                    name from the volume.
  --keep-folders    (recover) Put each file into its folder path below
                    OUTDIR, creating the folders; a folder whose record was
                    reused is written _lost_folder_N.
  --no-times        (recover) Leave each file with the time it was written.
                    Without it, a file gets back the modification and
                    access times its record holds (folders made by
                    --keep-folders keep their own).
  --allow-same-device
                    (recover) Write into OUTDIR even when it lies on the
                    device being read (or on a disk or partition sharing its
                    blocks, also through an ntfs-3g mount). Each file written
                    there may overwrite data still to be recovered.
  --map MAPFILE     (scan, recover, search, volumes) The image named is a
                    copy made by "image" or GNU ddrescue, and MAPFILE its map:
                    every area the map does not mark finished is unreadable,
                    as on the failing device, so a file over one is
                    "incomplete" and never "written". A map that cannot be
                    read is refused with its line number.
  --no-udisks       Never ask UDisks2 to open a device this user may not
                    read (see Devices below); such a device is refused.
  --retries N       Try a sector the device failed to read N more times
                    before taking it as bad (0 to 100; default 0). See
                    Failing devices below. For image: N more passes over
                    the bad sectors once the rest is read.
  -h, --help        Shows this text.

Filters (scan and recover), all of which a file must pass:
  --name GLOB       the file name matches GLOB (*, ?, [...]; letter case ignored)
  --folder GLOB     the folder path matches GLOB, e.g. '/Users/*'
  --min-size N      the file holds at least N bytes
  --recoverable     none of the file's clusters is in use by another file
  --kind KIND       the file's type is of this kind: Photos, Documents,
                    Archives, Audio, Video or Other (by its extension)

Output of scan:
  First the volume's figures, each on a line starting with "# ":
    # Disk Name: ...      # Disk Serial: ...     # Drive Size: N KB
    # MFT Location: 0x... # MFT Size: N KB       # All Files: N
  then one line per deleted file (once the whole MFT has been read), and
  last "# Deleted Files: N" and "# Recoverable Files: N", which count every
  deleted file found, filtered or not ("recoverable" meaning 100%), and
  "# Unchecked Files: N" when the share of some is unknown.
  TSV (default): a header line with the column names
    Record Positon, File Name, File Type, File Size, Create Date,
    Last Modify Date, Folder, Recoverable
  and tab-separated fields in which tab, newline, carriage return and
  backslash are written \t, \n, \r and \\.
  JSON (--json): keys "position" (e.g. "0x4C00"), "name", "type", "size"
  (a number of bytes), "created" and "modified" (dates as in your locale, ""
  when there is none), "created_utc" and "modified_utc" (ISO 8601 UTC such as
  "2024-05-01T12:00:00Z", or null), "path" (the folder, e.g. "/Users/ann", or
  "<lost folder #N>/..." when a folder's record was reused) and "recoverable".
  Before the files, {"volume": {"Disk Name": "...", "Drive Size": "8192 KB",
  ...}} holds the figures the TSV gives as "# " lines; after them,
  {"totals": {"Deleted Files": N, "Recoverable Files": N, ...}} the counts.
  A named data stream is a row of its own, "file:stream", at the position
  "0x4C00:stream"; a file with no name left is typed by its first bytes.
  Recoverable: the share, 0 to 100, of the file's clusters that
  no other file uses now (empty in TSV, null in JSON, when no cluster
  bitmap can judge them: the volume's cannot be read, or a deep scan found
  no volume around the file). It is an estimate: a free cluster may have
  been overwritten and freed again.

Output of recover, one tab-separated line per file asked for:
    written      POSITION  OUTPUT-PATH
    incomplete   POSITION  OUTPUT-PATH  REASON   (unreadable parts are zeros,
                                                or other files now use some
                                                of its clusters)
    unchecked    POSITION  OUTPUT-PATH  REASON   (written from the clusters its
                                                record names, which no cluster
                                                bitmap could check)
    failed       POSITION  REASON                (nothing written)
  with the fields escaped as in the TSV listing.
  A carved file (--carve) is never reported "written": it is
    verified     POSITION  OUTPUT-PATH           (its check was "verified")
    complete     POSITION  OUTPUT-PATH           (its check was "complete")
    incomplete   POSITION  OUTPUT-PATH  REASON   (its check was "incomplete",
                                                or the device failed to
                                                deliver some of its bytes:
                                                written all the same)
  and counts as done for the exit status only when verified or complete.
  Files are named as on the volume, with characters a Linux name cannot hold
  replaced. A file never replaces one written earlier in the same run: a later
  file of the same name gets " (1)", " (2)", ... before its extension. Files
  already in OUTDIR from before are replaced.

Devices:
  A block device this user may not read is opened read-only by UDisks2 on
  the user's behalf, when the system's policy allows it: the desktop may ask
  for a password, once per device and run. If it is refused, or UDisks2 is
  not running, the command says why and ends with status 2. Members of the
  disk group read devices without asking.

Failing devices:
  A read the device cannot complete is split down to the sector: every
  sector that reads is used, and only the bad ones are lost. A bad sector is
  never asked of the device again in the same run. Each command then prints
  one note on stderr saying how much could not be read and where, and which
  MFT records were lost with it; a deleted file whose record is among them
  is not listed, a folder among them shows as "<unreadable folder>" in the
  paths below it, and a recovered file with unreadable sectors is
  "incomplete", its reason naming the unread byte ranges (zeros in the file,
  nothing else). Such a run ends with status 3.

Progress is shown on stderr when it is a terminal. Ctrl+C during recovery
stops after removing the partly written file.

Exit status:
  0    everything asked for was done
  1    some files could not be recovered, or only in part or unchecked
  2    bad usage, a missing OUTDIR, an OUTDIR on the device being read, a
       volume that cannot be scanned (or may not be read), a disk with several NTFS partitions
       named without @N (the message lists their addresses), or a PATH
       given to volumes, or a DEVICE given to search, without one; for
       image, a refused IMAGE or MAPFILE, a MAPFILE that cannot be read, or
       an IMAGE that cannot be written
  3    parts of the device (or of an image, by its map) could not be read:
       a note on stderr says how much and where; for image, the map names
       the areas
  130  interrupted by Ctrl+C during recovery, search or image
)usage";
}

}  // namespace verandol::cli
